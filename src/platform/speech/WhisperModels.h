#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QString>
#include <QUrl>

#include <atomic>
#include <optional>

// A multilingual whisper model Tandrel can download: a file of that name under the base
// address of any model source.
struct WhisperModel {
    QString id; // "base-q5_1"
    QString fileName; // "ggml-base-q5_1.bin"
    // Exact where the file's size is published, else rounded.
    qint64 bytes = 0;
    // Lower-case hex. The download must match every checksum given (at least one is).
    QByteArray sha1;
    QByteArray sha256;
    // The one suggested for an ordinary two-core computer.
    bool recommended = false;
};

// Where model files are downloaded from: `<base>/<file name>`.
struct ModelSource {
    QString id; // "huggingface"; "custom" for the user's own
    QUrl base;
};

// The model files of the newer speech engine: the known models, where installed models
// live, and how a file is recognised as a usable model.
namespace WhisperModels {

// tiny, base and small, in full and quantized forms, as published in
// huggingface.co/ggerganov/whisper.cpp.
const QList<WhisperModel>& known();

// The original host first, then mirrors that answer from mainland China.
const QList<ModelSource>& builtInSources();

// "<AppDataLocation>/models"
QString standardFolder();

// The first bytes of a file, read as a whisper model header. Models with 32-bit weights
// throughout cannot run: whisper.cpp's CPU backend asserts on their convolution weights.
enum class FileKind { multilingualModel, englishOnlyModel, unsupportedModel, notAModel, unreadable };
FileKind inspect(const QString& path);

// Installed models are "ggml-*.bin" files in `folder` that are multilingual models;
// downloads in progress end in ".part" and never count. When several are installed, the
// most recently installed one is used. Empty when there is none.
QString installedModelPath(const QString& folder);
inline QString installedModelPath()
{
    return installedModelPath(standardFolder());
}

// The checksum of a file as lower-case hex, or nothing when it cannot be read (or when
// `cancelled` becomes true). Reads in blocks; meant for a worker thread.
std::optional<QByteArray> fileChecksum(const QString& path, QCryptographicHash::Algorithm algorithm,
    const std::atomic_bool* cancelled = nullptr);

} // namespace WhisperModels
