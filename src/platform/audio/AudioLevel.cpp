#include "AudioLevel.h"

#include <algorithm>
#include <cmath>

float AudioLevel::averagePower(const float* samples, qsizetype count)
{
    if (count <= 0)
        return -160.0f;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    const double meanSquare = sum / double(count);
    if (meanSquare <= 0)
        return -160.0f;
    return float(std::max(10.0 * std::log10(meanSquare), -160.0));
}
