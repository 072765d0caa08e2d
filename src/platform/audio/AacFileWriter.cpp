#include "AacFileWriter.h"

#include "FfmpegLog.h"

#include <QFile>

#include <cstddef>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

struct AacFileWriter::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    std::vector<float> pending;
    qint64 nextPts = 0;
    qint64 samplesAccepted = 0;
    qint64 samplesSinceFragment = 0;
    bool headerWritten = false;

    ~State() { release(); }

    void release()
    {
        if (format && format->pb)
            avio_closep(&format->pb);
        avformat_free_context(format);
        format = nullptr;
        stream = nullptr;
        avcodec_free_context(&codec);
        av_frame_free(&frame);
        av_packet_free(&packet);
        pending.clear();
        headerWritten = false;
    }

    // Hands every packet the encoder has ready to the muxer.
    bool drainPackets()
    {
        for (;;) {
            const int received = avcodec_receive_packet(codec, packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return false;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int written = av_write_frame(format, packet);
            av_packet_unref(packet);
            if (written < 0)
                return false;
        }
    }

    bool encode(const float* samples, int count)
    {
        if (av_frame_make_writable(frame) < 0)
            return false;
        frame->nb_samples = count;
        std::memcpy(frame->data[0], samples, sizeof(float) * size_t(count));
        frame->pts = nextPts;
        nextPts += count;
        if (avcodec_send_frame(codec, frame) < 0 || !drainPackets())
            return false;
        samplesSinceFragment += count;
        // Completing a fragment and pushing it out of our buffers is what keeps the file
        // readable up to about the last half second if the process is killed.
        if (samplesSinceFragment >= sampleRate / 2) {
            samplesSinceFragment = 0;
            if (av_write_frame(format, nullptr) < 0)
                return false;
            avio_flush(format->pb);
            if (format->pb->error < 0)
                return false;
        }
        return true;
    }
};

AacFileWriter::AacFileWriter()
    : d(std::make_unique<State>())
{
}

AacFileWriter::~AacFileWriter() = default;

bool AacFileWriter::isOpen() const
{
    return d->headerWritten;
}

qint64 AacFileWriter::samplesWritten() const
{
    return d->samplesAccepted;
}

std::optional<AudioFileError> AacFileWriter::open(const QString& path)
{
    quietFfmpegNotices();
    d->release();
    d->nextPts = 0;
    d->samplesAccepted = 0;
    d->samplesSinceFragment = 0;
    const AudioFileError failure { AudioFileError::Kind::cannotCreate, path };
    const QByteArray localPath = QFile::encodeName(path);

    if (avformat_alloc_output_context2(&d->format, nullptr, "ipod", localPath.constData()) < 0 || !d->format)
        return failure;
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_AAC);
    d->stream = encoder ? avformat_new_stream(d->format, nullptr) : nullptr;
    d->codec = encoder ? avcodec_alloc_context3(encoder) : nullptr;
    d->frame = av_frame_alloc();
    d->packet = av_packet_alloc();
    if (!d->stream || !d->codec || !d->frame || !d->packet) {
        d->release();
        return failure;
    }

    d->codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    d->codec->sample_rate = sampleRate;
    av_channel_layout_default(&d->codec->ch_layout, 1);
    d->codec->bit_rate = bitRate;
    d->codec->profile = FF_PROFILE_AAC_LOW;
    d->codec->time_base = AVRational { 1, sampleRate };
    if (d->format->oformat->flags & AVFMT_GLOBALHEADER)
        d->codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(d->codec, encoder, nullptr) < 0
        || avcodec_parameters_from_context(d->stream->codecpar, d->codec) < 0) {
        d->release();
        return failure;
    }
    d->stream->time_base = AVRational { 1, sampleRate };

    d->frame->format = d->codec->sample_fmt;
    d->frame->sample_rate = sampleRate;
    d->frame->nb_samples = d->codec->frame_size;
    if (av_channel_layout_copy(&d->frame->ch_layout, &d->codec->ch_layout) < 0 || av_frame_get_buffer(d->frame, 0) < 0) {
        d->release();
        return failure;
    }

    if (avio_open(&d->format->pb, localPath.constData(), AVIO_FLAG_WRITE) < 0) {
        d->release();
        return failure;
    }
    AVDictionary* options = nullptr;
    // An empty movie header up front and self-contained fragments after it: no index has
    // to be written at the end for the audio to be readable.
    av_dict_set(&options, "movflags", "empty_moov+default_base_moof+frag_custom", 0);
    const int header = avformat_write_header(d->format, &options);
    av_dict_free(&options);
    if (header < 0) {
        d->release();
        QFile::remove(path);
        return failure;
    }
    avio_flush(d->format->pb);
    if (d->format->pb->error < 0) {
        d->release();
        QFile::remove(path);
        return failure;
    }
    d->headerWritten = true;
    return std::nullopt;
}

bool AacFileWriter::write(const float* samples, qsizetype count)
{
    if (!d->headerWritten)
        return false;
    if (count <= 0)
        return true;
    d->pending.insert(d->pending.end(), samples, samples + count);
    d->samplesAccepted += count;
    const size_t frameSize = size_t(d->codec->frame_size);
    size_t offset = 0;
    while (d->pending.size() - offset >= frameSize) {
        if (!d->encode(d->pending.data() + offset, int(frameSize))) {
            d->release();
            return false;
        }
        offset += frameSize;
    }
    d->pending.erase(d->pending.begin(), d->pending.begin() + std::ptrdiff_t(offset));
    return true;
}

bool AacFileWriter::finish()
{
    if (!d->headerWritten)
        return false;
    bool ok = true;
    if (!d->pending.empty())
        ok = d->encode(d->pending.data(), int(d->pending.size()));
    if (ok)
        ok = avcodec_send_frame(d->codec, nullptr) >= 0 && d->drainPackets();
    if (ok)
        ok = av_write_trailer(d->format) >= 0;
    if (d->format->pb) {
        avio_flush(d->format->pb);
        ok = ok && d->format->pb->error >= 0;
    }
    d->release();
    return ok;
}

void AacFileWriter::abandon()
{
    d->release();
}
