// A file offered as a speech model: any bytes are recognised as some kind of file.
#include "FuzzInput.h"
#include "platform/speech/WhisperModels.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto kind = WhisperModels::inspect(FuzzInput::file(data, size, QStringLiteral("ggml-model.bin")));
    FuzzInput::require(kind != WhisperModels::FileKind::unreadable);
    return 0;
}
