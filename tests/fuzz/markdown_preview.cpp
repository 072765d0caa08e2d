// The note preview on any text: the line classifier, and the inline Markdown of a line.
#include "FuzzInput.h"
#include "features/notes/MarkdownPreview.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = FuzzInput::text(data, size);
    std::ignore = MarkdownPreview::lines(text);
    std::ignore = MarkdownPreview::inlineHtml(text);
    return 0;
}
