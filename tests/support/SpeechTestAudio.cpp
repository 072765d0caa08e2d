#include "SpeechTestAudio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
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

struct Encoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    AVStream* stream = nullptr;
    bool opened = false;

    ~Encoder()
    {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format) {
            if (opened)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    // Sends one frame (none: the end) and writes every packet the encoder has ready.
    bool send(const AVFrame* input)
    {
        if (avcodec_send_frame(codec, input) < 0)
            return false;
        while (true) {
            const int received = avcodec_receive_packet(codec, packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return false;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0)
                return false;
        }
    }
};

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
    constexpr int outputRate = 44100;
    av_log_set_level(AV_LOG_ERROR); // the encoder's statistics are no test output
    const auto samples = resampled(pcm16k, outputRate);
    if (!samples)
        return false;
    Encoder e;
    const QByteArray file = QFile::encodeName(path);
    if (avformat_alloc_output_context2(&e.format, nullptr, nullptr, file.constData()) < 0)
        return false;
    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!aac || !(e.codec = avcodec_alloc_context3(aac)))
        return false;
    e.codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    e.codec->sample_rate = outputRate;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    av_channel_layout_copy(&e.codec->ch_layout, &mono);
    e.codec->bit_rate = 64000;
    e.codec->time_base = { 1, outputRate };
    if (e.format->oformat->flags & AVFMT_GLOBALHEADER)
        e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(e.codec, aac, nullptr) < 0)
        return false;
    e.stream = avformat_new_stream(e.format, nullptr);
    if (!e.stream || avcodec_parameters_from_context(e.stream->codecpar, e.codec) < 0)
        return false;
    e.stream->time_base = e.codec->time_base;
    if (avio_open(&e.format->pb, file.constData(), AVIO_FLAG_WRITE) < 0)
        return false;
    e.opened = true;
    if (avformat_write_header(e.format, nullptr) < 0 || !(e.frame = av_frame_alloc())
        || !(e.packet = av_packet_alloc()))
        return false;

    // Mono: the one plane of the encoder's planar format holds the samples as they are.
    const size_t frameSize = size_t(e.codec->frame_size);
    for (size_t start = 0; start < samples->size(); start += frameSize) {
        av_frame_unref(e.frame);
        e.frame->nb_samples = int(std::min(frameSize, samples->size() - start));
        e.frame->format = e.codec->sample_fmt;
        e.frame->sample_rate = outputRate;
        av_channel_layout_copy(&e.frame->ch_layout, &e.codec->ch_layout);
        if (av_frame_get_buffer(e.frame, 0) < 0)
            return false;
        std::memcpy(e.frame->data[0], samples->data() + start, size_t(e.frame->nb_samples) * sizeof(float));
        e.frame->pts = int64_t(start);
        if (!e.send(e.frame))
            return false;
    }
    return e.send(nullptr) && av_write_trailer(e.format) == 0;
}

} // namespace SpeechTestAudio
