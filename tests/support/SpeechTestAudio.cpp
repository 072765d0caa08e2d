#include "SpeechTestAudio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <QFile>

#include <cstring>

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
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    AVStream* stream = nullptr;
    int64_t pts = 0;
    bool opened = false;

    ~Encoder()
    {
        av_packet_free(&packet);
        av_frame_free(&frame);
        if (fifo)
            av_audio_fifo_free(fifo);
        swr_free(&resampler);
        avcodec_free_context(&codec);
        if (format) {
            if (opened)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    bool drain(bool flushing)
    {
        if (avcodec_send_frame(codec, flushing ? nullptr : frame) < 0)
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

    bool encodeFrames(bool all)
    {
        while (av_audio_fifo_size(fifo) >= codec->frame_size || (all && av_audio_fifo_size(fifo) > 0)) {
            const int count = std::min(av_audio_fifo_size(fifo), codec->frame_size);
            av_frame_unref(frame);
            frame->nb_samples = count;
            frame->format = codec->sample_fmt;
            frame->sample_rate = codec->sample_rate;
            av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
            if (av_frame_get_buffer(frame, 0) < 0)
                return false;
            if (av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->data), count) < count)
                return false;
            frame->pts = pts;
            pts += count;
            if (!drain(false))
                return false;
        }
        return true;
    }
};

} // namespace

bool writeM4a(const QString& path, const std::vector<short>& pcm16k)
{
    constexpr int outputRate = 44100;
    av_log_set_level(AV_LOG_ERROR); // the encoder's statistics are no test output
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
    if (avformat_write_header(e.format, nullptr) < 0)
        return false;

    if (swr_alloc_set_opts2(
            &e.resampler, &mono, AV_SAMPLE_FMT_FLTP, outputRate, &mono, AV_SAMPLE_FMT_S16, 16000, 0, nullptr)
            < 0
        || swr_init(e.resampler) < 0)
        return false;
    e.fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 1, outputRate);
    e.frame = av_frame_alloc();
    e.packet = av_packet_alloc();
    if (!e.fifo || !e.frame || !e.packet)
        return false;

    constexpr size_t block = 4096;
    std::vector<float> converted(size_t(swr_get_out_samples(e.resampler, int(block))) + 64);
    for (size_t start = 0; start <= pcm16k.size(); start += block) {
        const bool last = start + block > pcm16k.size();
        const size_t count = last ? pcm16k.size() - start : block;
        const auto* input = reinterpret_cast<const uint8_t*>(pcm16k.data() + start);
        auto* output = reinterpret_cast<uint8_t*>(converted.data());
        int produced
            = swr_convert(e.resampler, &output, int(converted.size()), count ? &input : nullptr, int(count));
        if (produced < 0)
            return false;
        if (last) {
            // Whatever the resampler still holds.
            std::vector<float> tail(size_t(swr_get_out_samples(e.resampler, 0)) + 64);
            auto* tailOutput = reinterpret_cast<uint8_t*>(tail.data());
            const int more = swr_convert(e.resampler, &tailOutput, int(tail.size()), nullptr, 0);
            if (more < 0)
                return false;
            if (produced > 0
                && av_audio_fifo_write(e.fifo, reinterpret_cast<void**>(&output), produced) < produced)
                return false;
            produced = 0;
            if (more > 0 && av_audio_fifo_write(e.fifo, reinterpret_cast<void**>(&tailOutput), more) < more)
                return false;
        }
        if (produced > 0
            && av_audio_fifo_write(e.fifo, reinterpret_cast<void**>(&output), produced) < produced)
            return false;
        if (!e.encodeFrames(last))
            return false;
        if (last)
            break;
    }
    if (!e.drain(true))
        return false;
    return av_write_trailer(e.format) == 0;
}

} // namespace SpeechTestAudio
