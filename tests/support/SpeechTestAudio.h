#pragma once

#include <QString>

#include <vector>

// Recordings for the speech tests, written by the recorder's own file writer.
namespace SpeechTestAudio {

// "go forward ten meters" from Debian's pocketsphinx-testdata (16 kHz, 16-bit, mono).
QString goForwardRawPath();
// Its samples; empty when the file is missing.
std::vector<short> goForward();

std::vector<short> silence(double seconds);
// `pcm` repeated (with a short pause between copies) until it lasts `seconds`.
std::vector<short> repeated(const std::vector<short>& pcm, double seconds);

// Encodes 16 kHz mono samples into `path`. False on any FFmpeg failure.
bool writeM4a(const QString& path, const std::vector<short>& pcm16k);

} // namespace SpeechTestAudio
