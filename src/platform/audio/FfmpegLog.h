#pragma once

#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

// FFmpeg reports encoder statistics and notices on standard error by default; only
// errors are worth printing.
inline void quietFfmpegNotices()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}
