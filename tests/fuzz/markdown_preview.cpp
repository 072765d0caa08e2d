// The note preview's line classifier on any text.
#include "FuzzInput.h"
#include "features/notes/MarkdownPreview.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::ignore = MarkdownPreview::lines(FuzzInput::text(data, size));
    return 0;
}
