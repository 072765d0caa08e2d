#include "SpeechTestAudio.h"

#include "platform/audio/AacFileWriter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include <QFile>

#include <cstring>
#include <optional>

namespace SpeechTestAudio {

QString goForwardRawPath()
{
    return QStringLiteral("/usr/share/pocketsphinx/test/data/goforward.raw");
}

std::vector<short> goForward()
{
    QFile file(goForwardRawPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<short> samples(size_t(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

std::vector<short> silence(double seconds)
{
    return std::vector<short>(size_t(seconds * 16000), 0);
}

std::vector<short> repeated(const std::vector<short>& pcm, double seconds)
{
    const size_t wanted = size_t(seconds * 16000);
    const std::vector<short> pause(16000 / 2, 0);
    std::vector<short> out;
    out.reserve(wanted);
    while (out.size() < wanted && !pcm.empty()) {
        out.insert(out.end(), pcm.begin(), pcm.end());
        out.insert(out.end(), pause.begin(), pause.end());
    }
    out.resize(wanted);
    return out;
}

namespace {

// The samples at `rate` as floats, including what the resampler holds back until the end.
std::optional<std::vector<float>> resampled(const std::vector<short>& pcm16k, int rate)
{
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    SwrContext* resampler = nullptr;
    std::optional<std::vector<float>> out;
    if (swr_alloc_set_opts2(
            &resampler, &mono, AV_SAMPLE_FMT_FLT, rate, &mono, AV_SAMPLE_FMT_S16, 16000, 0, nullptr)
            >= 0
        && swr_init(resampler) >= 0) {
        std::vector<float> samples(size_t(swr_get_out_samples(resampler, int(pcm16k.size()))) + 4096);
        auto* output = reinterpret_cast<uint8_t*>(samples.data());
        const auto* input = reinterpret_cast<const uint8_t*>(pcm16k.data());
        const int produced = swr_convert(resampler, &output, int(samples.size()), &input, int(pcm16k.size()));
        auto* tail = reinterpret_cast<uint8_t*>(samples.data() + std::max(produced, 0));
        const int more
            = produced < 0 ? -1 : swr_convert(resampler, &tail, int(samples.size()) - produced, nullptr, 0);
        if (more >= 0) {
            samples.resize(size_t(produced + more));
            out = std::move(samples);
        }
    }
    swr_free(&resampler);
    return out;
}

} // namespace

bool writeM4a(const QString& path, const std::vector<short>& pcm16k)
{
    av_log_set_level(AV_LOG_ERROR); // the encoder's statistics are no test output
    const auto samples = resampled(pcm16k, AacFileWriter::sampleRate);
    AacFileWriter writer;
    return samples && !writer.open(path) && writer.write(samples->data(), qsizetype(samples->size()))
        && writer.finish();
}

} // namespace SpeechTestAudio
