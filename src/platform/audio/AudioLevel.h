#pragma once

#include <QtGlobal>

namespace AudioLevel {
// The level reading of a block of samples: average power in decibels, 0 being full
// scale, and -160 for silence.
float averagePower(const float* samples, qsizetype count);
} // namespace AudioLevel
