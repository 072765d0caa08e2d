#pragma once

#include "NotePage.h"
#include "TaskItem.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <optional>

// The stored JSON form of the workspace lists: one compact UTF-8 JSON array per list.
// Reading is all or nothing: one bad record makes the whole array unreadable.
namespace WorkspaceJson {
QByteArray encodeTasks(const QList<TaskItem>& tasks);
std::optional<QList<TaskItem>> decodeTasks(const QByteArray& data);

QByteArray encodePages(const QList<NotePage>& pages);
std::optional<QList<NotePage>> decodePages(const QByteArray& data);

// The encoded form of one page object (no surrounding array).
QByteArray encodePage(const NotePage& page);
} // namespace WorkspaceJson

// Encodes the page list reusing the encoded form of pages that did not change since the
// previous call, so that a keystroke in one page of a large workspace re-encodes only that
// page. The result is byte for byte what WorkspaceJson::encodePages gives.
class PageListEncoder {
public:
    QByteArray encode(const QList<NotePage>& pages);
    // The encoded form of each page, in order: the elements of what encode() gives.
    QList<QByteArray> pageForms(const QList<NotePage>& pages);

private:
    struct Entry {
        NotePage page;
        QByteArray json;
    };
    QHash<QUuid, Entry> m_cache;
};
