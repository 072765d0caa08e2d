#include "AudioFileDecoder.h"

#include "FfmpegLog.h"

#include <QFile>

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

struct AudioFileDecoder::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int streamIndex = -1;
    Output output;
    bool draining = false;
    bool ended = false;
    bool failed = false;

    ~State() { release(); }

    void release()
    {
        swr_free(&resampler);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        av_packet_free(&packet);
        av_frame_free(&frame);
        streamIndex = -1;
        draining = false;
        ended = false;
        failed = false;
    }

    int bytesPerFrame() const
    {
        return output.channels * (output.format == SampleFormat::int16 ? 2 : 4);
    }

    // Converts `input` (or, without input, what the resampler still holds).
    QByteArray convert(const AVFrame* input)
    {
        const int inputSamples = input ? input->nb_samples : 0;
        const int capacity = swr_get_out_samples(resampler, inputSamples);
        if (capacity <= 0)
            return {};
        QByteArray bytes(qsizetype(capacity) * bytesPerFrame(), Qt::Uninitialized);
        auto* target = reinterpret_cast<uint8_t*>(bytes.data());
        const int converted = swr_convert(resampler, &target, capacity,
                                          input ? const_cast<const uint8_t**>(input->extended_data) : nullptr, inputSamples);
        if (converted < 0) {
            failed = true;
            return {};
        }
        bytes.resize(qsizetype(converted) * bytesPerFrame());
        return bytes;
    }
};

AudioFileDecoder::AudioFileDecoder()
    : d(std::make_unique<State>())
{
}

AudioFileDecoder::~AudioFileDecoder() = default;

std::optional<AudioFileError> AudioFileDecoder::open(const QString& path, Output output)
{
    quietFfmpegNotices();
    d->release();
    const AudioFileError failure { AudioFileError::Kind::cannotRead, path };
    const QByteArray localPath = QFile::encodeName(path);
    if (avformat_open_input(&d->format, localPath.constData(), nullptr, nullptr) < 0)
        return failure;
    const AVCodec* decoder = nullptr;
    if (avformat_find_stream_info(d->format, nullptr) < 0
        || (d->streamIndex = av_find_best_stream(d->format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0)) < 0 || !decoder) {
        d->release();
        return failure;
    }
    d->codec = avcodec_alloc_context3(decoder);
    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    if (!d->codec || !d->packet || !d->frame
        || avcodec_parameters_to_context(d->codec, d->format->streams[d->streamIndex]->codecpar) < 0
        || avcodec_open2(d->codec, decoder, nullptr) < 0 || d->codec->ch_layout.nb_channels <= 0
        || d->codec->sample_rate <= 0) {
        d->release();
        return failure;
    }
    if (d->codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int count = d->codec->ch_layout.nb_channels;
        av_channel_layout_uninit(&d->codec->ch_layout);
        av_channel_layout_default(&d->codec->ch_layout, count);
    }

    d->output.sampleRate = output.sampleRate > 0 ? output.sampleRate : d->codec->sample_rate;
    d->output.channels = output.channels > 0 ? std::min(output.channels, 2) : std::min(d->codec->ch_layout.nb_channels, 2);
    d->output.format = output.format;
    AVChannelLayout outputLayout;
    av_channel_layout_default(&outputLayout, d->output.channels);
    const AVSampleFormat outputFormat = output.format == SampleFormat::int16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLT;
    const int configured = swr_alloc_set_opts2(&d->resampler, &outputLayout, outputFormat, d->output.sampleRate,
                                               &d->codec->ch_layout, d->codec->sample_fmt, d->codec->sample_rate, 0,
                                               nullptr);
    av_channel_layout_uninit(&outputLayout);
    if (configured < 0 || swr_init(d->resampler) < 0) {
        d->release();
        return failure;
    }
    return std::nullopt;
}

int AudioFileDecoder::sampleRate() const
{
    return d->output.sampleRate;
}

int AudioFileDecoder::channels() const
{
    return d->output.channels;
}

AudioFileDecoder::SampleFormat AudioFileDecoder::sampleFormat() const
{
    return d->output.format;
}

int AudioFileDecoder::bytesPerFrame() const
{
    return d->bytesPerFrame();
}

int AudioFileDecoder::fileSampleRate() const
{
    return d->codec ? d->codec->sample_rate : 0;
}

int AudioFileDecoder::fileChannels() const
{
    return d->codec ? d->codec->ch_layout.nb_channels : 0;
}

QString AudioFileDecoder::codecName() const
{
    return d->codec && d->codec->codec ? QString::fromLatin1(d->codec->codec->name) : QString();
}

bool AudioFileDecoder::atEnd() const
{
    return d->ended;
}

bool AudioFileDecoder::failed() const
{
    return d->failed;
}

QByteArray AudioFileDecoder::read()
{
    if (!d->codec || d->ended || d->failed)
        return {};
    for (;;) {
        const int received = avcodec_receive_frame(d->codec, d->frame);
        if (received == 0) {
            QByteArray bytes = d->convert(d->frame);
            av_frame_unref(d->frame);
            if (d->failed)
                return {};
            if (!bytes.isEmpty())
                return bytes;
            continue;
        }
        if (received == AVERROR_EOF) {
            QByteArray rest = d->convert(nullptr);
            if (!rest.isEmpty())
                return rest;
            d->ended = !d->failed;
            return {};
        }
        if (received != AVERROR(EAGAIN)) {
            d->failed = true;
            return {};
        }
        if (d->draining) {
            d->failed = true;
            return {};
        }
        const int read = av_read_frame(d->format, d->packet);
        if (read < 0) {
            // A file cut short (a recording whose program was killed) ends in a partial
            // fragment; what came before it is still good audio.
            if (read != AVERROR_EOF && !(d->format->pb && avio_feof(d->format->pb))) {
                d->failed = true;
                return {};
            }
            avcodec_send_packet(d->codec, nullptr);
            d->draining = true;
            continue;
        }
        if (d->packet->stream_index == d->streamIndex) {
            const int sent = avcodec_send_packet(d->codec, d->packet);
            // A damaged packet is skipped; the decoder goes on with the next one.
            if (sent < 0 && sent != AVERROR_INVALIDDATA && sent != AVERROR(EAGAIN)) {
                av_packet_unref(d->packet);
                d->failed = true;
                return {};
            }
        }
        av_packet_unref(d->packet);
    }
}

std::optional<QByteArray> AudioFileDecoder::decodeAll(const QString& path, Output output, AudioFileError* error)
{
    AudioFileDecoder decoder;
    if (const auto failure = decoder.open(path, output)) {
        if (error)
            *error = *failure;
        return std::nullopt;
    }
    QByteArray all;
    while (!decoder.atEnd() && !decoder.failed())
        all += decoder.read();
    if (decoder.failed()) {
        if (error)
            *error = AudioFileError { AudioFileError::Kind::cannotRead, path };
        return std::nullopt;
    }
    return all;
}
