#pragma once

#include <QString>

#include <functional>

// Copies one regular file into a folder without ever leaving a partial copy: the bytes go
// to a hidden temporary file beside the destination, which is renamed only once complete
// and removed on any failure. Runs on a worker thread; reports a code, not a sentence.
namespace FileCopy {

enum class Error {
    none,
    // A folder, symbolic link, pipe, device or socket.
    notRegularFile,
    missing,
    unreadable,
    // Moved, deleted, replaced, shortened or grown while it was being copied.
    changed,
    diskFull,
    writeFailed,
    cancelled,
};

// Called after every block with the bytes copied so far and the source's size; returning
// false cancels the copy.
using Progress = std::function<bool(qint64 copied, qint64 total)>;

Error copy(const QString& source, const QString& destination, const Progress& progress);

} // namespace FileCopy
