// A recording of any bytes: it opens or says why not, and decoding ends, having decoded
// either all of it or nothing.
#include "FuzzInput.h"
#include "platform/audio/AudioFileDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzInput::file(data, size, QStringLiteral("recording.m4a"));
    AudioFileDecoder decoder;
    if (const auto error = decoder.open(path, { 16000, 1, AudioFileDecoder::SampleFormat::float32 })) {
        FuzzInput::require(!error->text().isEmpty());
        return 0;
    }
    while (!decoder.read().isEmpty()) { }
    FuzzInput::require(decoder.atEnd() || decoder.failed());
    return 0;
}
