#include "WorkspaceStore.h"

// Dropped files are not attached to notes yet: the tab refuses them, so the window stays
// collapsed and the drop is reported as not taken.
bool WorkspaceStore::receiveFileURLs(const QList<QUrl>& urls)
{
    Q_UNUSED(urls);
    return false;
}
