#include "SpeechAudio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <cmath>
#include <memory>

namespace SpeechAudio {

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

class Decoder {
public:
    explicit Decoder(const std::atomic_bool* cancelled)
        : m_cancelled(cancelled)
    {
    }

    int run(const QString& path)
    {
        AVFormatContext* rawFormat = nullptr;
        const QByteArray encodedPath = path.toUtf8();
        if (int error = avformat_open_input(&rawFormat, encodedPath.constData(), nullptr, nullptr); error < 0)
            return error;
        m_format.reset(rawFormat);
        if (int error = avformat_find_stream_info(m_format.get(), nullptr); error < 0)
            return error;

        const AVCodec* codec = nullptr;
        const int stream = av_find_best_stream(m_format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream < 0)
            return stream;
        m_stream = stream;

        m_codec.reset(avcodec_alloc_context3(codec));
        if (!m_codec)
            return AVERROR(ENOMEM);
        if (int error = avcodec_parameters_to_context(m_codec.get(), m_format->streams[stream]->codecpar);
            error < 0)
            return error;
        if (int error = avcodec_open2(m_codec.get(), codec, nullptr); error < 0)
            return error;

        m_packet.reset(av_packet_alloc());
        m_frame.reset(av_frame_alloc());
        if (!m_packet || !m_frame)
            return AVERROR(ENOMEM);

        while (true) {
            if (m_cancelled && m_cancelled->load())
                return AVERROR_EXIT;
            const int read = av_read_frame(m_format.get(), m_packet.get());
            if (read == AVERROR_EOF)
                break;
            if (read < 0)
                return read;
            int error = 0;
            if (m_packet->stream_index == m_stream)
                error = decodePacket(m_packet.get());
            av_packet_unref(m_packet.get());
            if (error < 0)
                return error;
        }
        if (int error = decodePacket(nullptr); error < 0)
            return error;
        return flushResampler();
    }

    std::vector<float> takeSamples() { return std::move(m_samples); }

private:
    int decodePacket(const AVPacket* packet)
    {
        int error = avcodec_send_packet(m_codec.get(), packet);
        if (error < 0 && error != AVERROR_EOF)
            return error;
        while (true) {
            error = avcodec_receive_frame(m_codec.get(), m_frame.get());
            if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
                return 0;
            if (error < 0)
                return error;
            error = convert(m_frame.get());
            av_frame_unref(m_frame.get());
            if (error < 0)
                return error;
        }
    }

    int ensureResampler(const AVFrame* frame)
    {
        if (m_resampler)
            return 0;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        AVChannelLayout input {};
        if (frame->ch_layout.nb_channels > 0)
            av_channel_layout_copy(&input, &frame->ch_layout);
        else
            av_channel_layout_default(
                &input, m_codec->ch_layout.nb_channels > 0 ? m_codec->ch_layout.nb_channels : 1);
        // A layout without channel positions (unspecified order) cannot be down-mixed.
        if (input.order == AV_CHANNEL_ORDER_UNSPEC) {
            const int channels = input.nb_channels;
            av_channel_layout_uninit(&input);
            av_channel_layout_default(&input, channels);
        }
        SwrContext* raw = nullptr;
        int error = swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_FLT, sampleRate, &input,
            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&input);
        if (error < 0)
            return error;
        m_resampler.reset(raw);
        return swr_init(m_resampler.get());
    }

    int convert(const AVFrame* frame)
    {
        if (int error = ensureResampler(frame); error < 0)
            return error;
        const int capacity = swr_get_out_samples(m_resampler.get(), frame->nb_samples);
        if (capacity < 0)
            return capacity;
        return appendConverted(
            const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples, capacity);
    }

    int flushResampler()
    {
        if (!m_resampler)
            return 0;
        const int capacity = swr_get_out_samples(m_resampler.get(), 0);
        if (capacity <= 0)
            return capacity;
        return appendConverted(nullptr, 0, capacity);
    }

    int appendConverted(const uint8_t** input, int inputSamples, int capacity)
    {
        const size_t start = m_samples.size();
        m_samples.resize(start + size_t(capacity));
        auto* output = reinterpret_cast<uint8_t*>(m_samples.data() + start);
        const int converted = swr_convert(m_resampler.get(), &output, capacity, input, inputSamples);
        if (converted < 0) {
            m_samples.resize(start);
            return converted;
        }
        m_samples.resize(start + size_t(converted));
        return 0;
    }

    const std::atomic_bool* m_cancelled;
    std::unique_ptr<AVFormatContext, FormatCloser> m_format;
    std::unique_ptr<AVCodecContext, CodecFreer> m_codec;
    std::unique_ptr<SwrContext, ResamplerFreer> m_resampler;
    std::unique_ptr<AVPacket, PacketFreer> m_packet;
    std::unique_ptr<AVFrame, FrameFreer> m_frame;
    std::vector<float> m_samples;
    int m_stream = -1;
};

} // namespace

std::variant<std::vector<float>, DecodeError> decode(const QString& path, const std::atomic_bool* cancelled)
{
    Decoder decoder(cancelled);
    if (const int error = decoder.run(path); error < 0)
        return DecodeError { error };
    return decoder.takeSamples();
}

bool isSilent(const std::vector<float>& samples)
{
    constexpr size_t window = sampleRate * 30 / 1000;
    constexpr double threshold = 0.00316; // -50 dBFS
    for (size_t start = 0; start < samples.size(); start += window) {
        const size_t end = std::min(samples.size(), start + window);
        double sum = 0;
        for (size_t i = start; i < end; ++i)
            sum += double(samples[i]) * samples[i];
        if (std::sqrt(sum / double(end - start)) > threshold)
            return false;
    }
    return true;
}

} // namespace SpeechAudio
