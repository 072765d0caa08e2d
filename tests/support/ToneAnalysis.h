#pragma once

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// Reading test tones back: samples from decoded float PCM, their loudness and the
// frequency of the tone they carry.
namespace ToneAnalysis {

inline std::vector<float> samples(const QByteArray& float32Pcm)
{
    std::vector<float> values(size_t(float32Pcm.size()) / sizeof(float));
    std::memcpy(values.data(), float32Pcm.constData(), values.size() * sizeof(float));
    return values;
}

inline double rms(const std::vector<float>& values, size_t begin = 0, size_t end = size_t(-1))
{
    end = std::min(end, values.size());
    if (begin >= end)
        return 0;
    double sum = 0;
    for (size_t i = begin; i < end; ++i)
        sum += double(values[i]) * values[i];
    return std::sqrt(sum / double(end - begin));
}

// Goertzel power of one frequency over a stretch.
inline double powerAt(const std::vector<float>& values, size_t begin, size_t count, double frequency, int sampleRate)
{
    const double coefficient = 2 * std::cos(2 * M_PI * frequency / sampleRate);
    double previous = 0;
    double beforePrevious = 0;
    for (size_t i = begin; i < begin + count && i < values.size(); ++i) {
        const double current = values[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}

// The strongest frequency between 50 and 4000 Hz, in 5 Hz steps, over the middle second
// (or less) of the signal.
inline double dominantFrequency(const std::vector<float>& values, int sampleRate)
{
    const size_t count = std::min(values.size(), size_t(sampleRate));
    const size_t begin = (values.size() - count) / 2;
    double best = 0;
    double bestPower = -1;
    for (double frequency = 50; frequency <= 4000; frequency += 5) {
        const double power = powerAt(values, begin, count, frequency, sampleRate);
        if (power > bestPower) {
            bestPower = power;
            best = frequency;
        }
    }
    return best;
}

} // namespace ToneAnalysis
