// The stored list of chosen folders and the bookmarks in it: any bytes decode or are
// refused, what decodes is stored again as it was read, and resolving a bookmark never fails
// other than by saying why.
#include "FuzzInput.h"
#include "platform/storage/FolderBookmark.h"
#include "platform/storage/StoredFolder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzInput::bytes(data, size);
    QList<QByteArray> bookmarks { input };
    if (const auto folders = StoredFolders::decode(input)) {
        FuzzInput::require(StoredFolders::decode(StoredFolders::encode(*folders)) == folders);
        for (const StoredFolder& folder : *folders)
            bookmarks.append(folder.bookmark);
    }
    for (const QByteArray& bookmark : bookmarks) {
        const auto resolved = FolderBookmark::resolve(bookmark);
        FuzzInput::require(resolved ? !resolved.value().path.isEmpty() : !resolved.error().text().isEmpty());
    }
    return 0;
}
