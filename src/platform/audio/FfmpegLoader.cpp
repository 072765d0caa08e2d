// FFmpeg and the hundred-odd libraries behind it add a noticeable pause and megabytes to
// every start of Tandrel, yet only recording, playback checks and transcription need
// them. Tandrel is therefore not linked against FFmpeg: these definitions stand in for
// the FFmpeg functions it calls and load the real libraries the first time one is used.
// The compiler checks each signature against FFmpeg's own declaration.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include "platform/LazyLibrary.h"

#define TANDREL_SONAME(name, major) "lib" #name ".so." AV_STRINGIFY(major)
#define TANDREL_FORWARD(library, result, name, parameters, arguments)                                          \
    TANDREL_LAZY_FUNCTION(TANDREL_SONAME_##library, result, name, parameters, arguments)
#define TANDREL_SONAME_avutil TANDREL_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR)
#define TANDREL_SONAME_avcodec TANDREL_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR)
#define TANDREL_SONAME_avformat TANDREL_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR)
#define TANDREL_SONAME_swresample TANDREL_SONAME(swresample, LIBSWRESAMPLE_VERSION_MAJOR)

// libavutil
TANDREL_FORWARD(avutil, int, av_channel_layout_copy, (AVChannelLayout * d, const AVChannelLayout* s), (d, s))
TANDREL_FORWARD(avutil, void, av_channel_layout_default, (AVChannelLayout * l, int n), (l, n))
TANDREL_FORWARD(avutil, void, av_channel_layout_uninit, (AVChannelLayout * l), (l))
TANDREL_FORWARD(avutil, void, av_dict_free, (AVDictionary * *m), (m))
TANDREL_FORWARD(avutil, int, av_dict_set, (AVDictionary * *m, const char* k, const char* v, int f), (m, k, v, f))
TANDREL_FORWARD(avutil, AVFrame*, av_frame_alloc, (void), ())
TANDREL_FORWARD(avutil, void, av_frame_free, (AVFrame * *f), (f))
TANDREL_FORWARD(avutil, int, av_frame_get_buffer, (AVFrame * f, int a), (f, a))
TANDREL_FORWARD(avutil, int, av_frame_make_writable, (AVFrame * f), (f))
TANDREL_FORWARD(avutil, void, av_frame_unref, (AVFrame * f), (f))
TANDREL_FORWARD(avutil, void, av_log_set_level, (int l), (l))

// libavcodec
TANDREL_FORWARD(avcodec, AVPacket*, av_packet_alloc, (void), ())
TANDREL_FORWARD(avcodec, void, av_packet_free, (AVPacket * *p), (p))
TANDREL_FORWARD(avcodec, void, av_packet_rescale_ts, (AVPacket * p, AVRational s, AVRational d), (p, s, d))
TANDREL_FORWARD(avcodec, void, av_packet_unref, (AVPacket * p), (p))
TANDREL_FORWARD(avcodec, AVCodecContext*, avcodec_alloc_context3, (const AVCodec* c), (c))
TANDREL_FORWARD(avcodec, const AVCodec*, avcodec_find_encoder, (enum AVCodecID id), (id))
TANDREL_FORWARD(avcodec, void, avcodec_free_context, (AVCodecContext * *c), (c))
TANDREL_FORWARD(avcodec, int, avcodec_open2, (AVCodecContext * c, const AVCodec* k, AVDictionary** o), (c, k, o))
TANDREL_FORWARD(avcodec, int, avcodec_parameters_from_context, (AVCodecParameters * p, const AVCodecContext* c),
    (p, c))
TANDREL_FORWARD(avcodec, int, avcodec_parameters_to_context, (AVCodecContext * c, const AVCodecParameters* p),
    (c, p))
TANDREL_FORWARD(avcodec, int, avcodec_receive_frame, (AVCodecContext * c, AVFrame* f), (c, f))
TANDREL_FORWARD(avcodec, int, avcodec_receive_packet, (AVCodecContext * c, AVPacket* p), (c, p))
TANDREL_FORWARD(avcodec, int, avcodec_send_frame, (AVCodecContext * c, const AVFrame* f), (c, f))
TANDREL_FORWARD(avcodec, int, avcodec_send_packet, (AVCodecContext * c, const AVPacket* p), (c, p))

// libavformat
TANDREL_FORWARD(avformat, int, av_find_best_stream,
    (AVFormatContext * c, enum AVMediaType t, int w, int r, const AVCodec** d, int f), (c, t, w, r, d, f))
TANDREL_FORWARD(avformat, int, av_read_frame, (AVFormatContext * c, AVPacket* p), (c, p))
TANDREL_FORWARD(avformat, int, av_write_frame, (AVFormatContext * c, AVPacket* p), (c, p))
TANDREL_FORWARD(avformat, int, av_write_trailer, (AVFormatContext * c), (c))
TANDREL_FORWARD(avformat, int, avformat_alloc_output_context2,
    (AVFormatContext * *c, const AVOutputFormat* o, const char* n, const char* f), (c, o, n, f))
TANDREL_FORWARD(avformat, void, avformat_close_input, (AVFormatContext * *c), (c))
TANDREL_FORWARD(avformat, int, avformat_find_stream_info, (AVFormatContext * c, AVDictionary** o), (c, o))
TANDREL_FORWARD(avformat, void, avformat_free_context, (AVFormatContext * c), (c))
TANDREL_FORWARD(avformat, AVStream*, avformat_new_stream, (AVFormatContext * c, const AVCodec* k), (c, k))
TANDREL_FORWARD(avformat, int, avformat_open_input,
    (AVFormatContext * *c, const char* u, const AVInputFormat* f, AVDictionary** o), (c, u, f, o))
TANDREL_FORWARD(avformat, int, avformat_write_header, (AVFormatContext * c, AVDictionary** o), (c, o))
TANDREL_FORWARD(avformat, int, avio_closep, (AVIOContext * *c), (c))
TANDREL_FORWARD(avformat, int, avio_feof, (AVIOContext * c), (c))
TANDREL_FORWARD(avformat, void, avio_flush, (AVIOContext * c), (c))
TANDREL_FORWARD(avformat, int, avio_open, (AVIOContext * *c, const char* u, int f), (c, u, f))

// libswresample
TANDREL_FORWARD(swresample, int, swr_alloc_set_opts2,
    (struct SwrContext * *s, AVChannelLayout* ol, enum AVSampleFormat of, int orate, AVChannelLayout* il,
        enum AVSampleFormat inf, int irate, int lo, void* lc),
    (s, ol, of, orate, il, inf, irate, lo, lc))
TANDREL_FORWARD(swresample, int, swr_convert,
    (struct SwrContext * s, uint8_t** o, int oc, const uint8_t** i, int ic), (s, o, oc, i, ic))
TANDREL_FORWARD(swresample, void, swr_free, (struct SwrContext * *s), (s))
TANDREL_FORWARD(swresample, int, swr_get_out_samples, (struct SwrContext * s, int n), (s, n))
TANDREL_FORWARD(swresample, int, swr_init, (struct SwrContext * s), (s))
