#pragma once

#include <QString>

#include <atomic>
#include <variant>
#include <vector>

// Reads a recording for the speech engines: the first audio stream of any file FFmpeg
// reads, down-mixed to mono and resampled to 16 kHz float samples in [-1, 1], which is
// what both engines take. Safe to call from a worker thread (no Qt objects, no texts).
namespace SpeechAudio {

inline constexpr int sampleRate = 16000;

// An FFmpeg error code (AVERROR) for the caller to turn into a sentence.
struct DecodeError {
    int code = 0;
};

// Decodes the whole file. Stops early with AVERROR_EXIT when `cancelled` becomes true.
std::variant<std::vector<float>, DecodeError> decode(
    const QString& path, const std::atomic_bool* cancelled = nullptr);

// True when the samples hold nothing louder than a very quiet room (peak below -50 dBFS):
// both engines tend to invent words for pure silence, so there is no point running them.
bool isSilent(const std::vector<float>& samples);

} // namespace SpeechAudio
