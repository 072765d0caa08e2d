#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QString>
#include <QUrl>

#include <atomic>
#include <optional>

// A multilingual whisper model Tandrel can download.
struct WhisperModel {
    QString id; // "base"
    QString fileName; // "ggml-base.bin"
    QUrl url;
    // As published (rounded); the exact size comes from the server while downloading.
    qint64 approximateBytes = 0;
    QCryptographicHash::Algorithm checksumAlgorithm = QCryptographicHash::Sha256;
    QByteArray checksum; // lower-case hex
};

// The model files of the newer speech engine: the known models, where installed models
// live, and how a file is recognised as a usable model.
namespace WhisperModels {

// base and small, from huggingface.co/ggerganov/whisper.cpp.
const QList<WhisperModel>& known();
std::optional<WhisperModel> knownModel(const QString& id);

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
