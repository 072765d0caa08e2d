#pragma once

#include "AudioFileError.h"

#include <QString>

#include <memory>
#include <optional>

// Encodes mono 32-bit float samples at 44.1 kHz as AAC-LC into an MPEG-4 audio file
// (".m4a"). The file is written as a fragmented MP4 and a fragment is completed and
// handed to the system every half second, so the file stays playable when the process
// dies mid-recording and loses well under a second. Not thread-safe; use it from one
// thread.
class AacFileWriter {
public:
    static constexpr int sampleRate = 44100;
    static constexpr int bitRate = 96000;

    AacFileWriter();
    ~AacFileWriter();
    AacFileWriter(const AacFileWriter&) = delete;
    AacFileWriter& operator=(const AacFileWriter&) = delete;

    // Creates the file and writes its header. On failure nothing is left open.
    [[nodiscard]] std::optional<AudioFileError> open(const QString& path);
    bool isOpen() const;

    // Encodes `count` samples. False when encoding or writing failed; the writer is then
    // closed and every later call fails.
    bool write(const float* samples, qsizetype count);

    // Encodes what is still buffered, completes the file and closes it. False when the
    // end could not be written (the fragments already on disk stay playable).
    bool finish();

    // Closes the file without encoding what is still buffered.
    void abandon();

    qint64 samplesWritten() const;

private:
    struct State;
    std::unique_ptr<State> d;
};
