#pragma once

#include "AudioFileError.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

// Decodes the first audio stream of a file (any format FFmpeg reads) into interleaved
// PCM at a chosen rate and channel count, one stretch at a time. Used for playback and
// for reading recordings back. Not thread-safe; use it from one thread.
class AudioFileDecoder {
public:
    enum class SampleFormat { int16, float32 };

    struct Output {
        int sampleRate = 0; // 0: the file's own rate
        int channels = 0; // 0: the file's own count, at most two
        SampleFormat format = SampleFormat::int16;
    };

    AudioFileDecoder();
    ~AudioFileDecoder();
    AudioFileDecoder(const AudioFileDecoder&) = delete;
    AudioFileDecoder& operator=(const AudioFileDecoder&) = delete;

    // Opens the file; what went wrong otherwise.
    [[nodiscard]] std::optional<AudioFileError> open(const QString& path, Output output);
    [[nodiscard]] std::optional<AudioFileError> open(const QString& path) { return open(path, Output()); }

    int sampleRate() const;
    int channels() const;
    SampleFormat sampleFormat() const;
    int bytesPerFrame() const;
    // Rate, channel count and codec name as stored in the file ("aac" ...).
    int fileSampleRate() const;
    int fileChannels() const;
    QString codecName() const;

    // The next stretch of decoded audio; empty at the end of the file or after a failure.
    QByteArray read();
    bool atEnd() const;
    bool failed() const;

    // Reads a whole file. Nothing when it cannot be opened or decoded to the end.
    static std::optional<QByteArray> decodeAll(
        const QString& path, Output output, AudioFileError* error = nullptr);

private:
    struct State;
    std::unique_ptr<State> d;
};
