#pragma once

#include "MediaPlugin.h"

#include <QString>

// Finds and loads the media plugin (libtandrel_media.so) the first time it is needed:
// beside the program, where an installation puts it (lib/tandrel), or where the build
// wrote it. Main thread only.
namespace MediaModule {

// The loaded plugin, or nullptr with `error` set (a finished sentence).
MediaPlugin* plugin(QString* error);

// A transfer for `request`, or nullptr with `error` set (a finished sentence).
HttpTransfer* get(const HttpRequest& request, QString* error);

// Looks for the plugin only in `folders` from now on (tests of a missing plugin).
void setSearchFolders(const QStringList& folders);

} // namespace MediaModule
