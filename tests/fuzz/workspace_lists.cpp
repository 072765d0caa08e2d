// The stored task and page lists: any bytes decode or are refused, and what decodes is
// stored again as it was read.
#include "FuzzInput.h"
#include "core/WorkspaceJson.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzInput::bytes(data, size);
    if (const auto tasks = WorkspaceJson::decodeTasks(input))
        FuzzInput::require(WorkspaceJson::decodeTasks(WorkspaceJson::encodeTasks(*tasks)) == tasks);
    if (const auto pages = WorkspaceJson::decodePages(input)) {
        const QByteArray stored = WorkspaceJson::encodePages(*pages);
        FuzzInput::require(
            WorkspaceJson::decodePages(stored) == pages && PageListEncoder().encode(*pages) == stored);
    }
    return 0;
}
