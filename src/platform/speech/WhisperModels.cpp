#include "WhisperModels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>

namespace WhisperModels {

namespace {

constexpr qint64 mebibyte = 1024 * 1024;

// The published checksums of these files are the SHA-1 sums listed in models/README.md of
// whisper.cpp 1.9.1 (the source the build uses); the sizes are the rounded sizes listed
// there. The files are served unchanged at the addresses below.
const QList<WhisperModel>& catalogue()
{
    static const QList<WhisperModel> models {
        {
            QStringLiteral("base"),
            QStringLiteral("ggml-base.bin"),
            QUrl(QStringLiteral("https://huggingface.co/ggerganov/whisper.cpp/resolve/main/ggml-base.bin")),
            142 * mebibyte,
            QCryptographicHash::Sha1,
            QByteArrayLiteral("465707469ff3a37a2b9b8d8f89f2f99de7299dac"),
        },
        {
            QStringLiteral("small"),
            QStringLiteral("ggml-small.bin"),
            QUrl(QStringLiteral("https://huggingface.co/ggerganov/whisper.cpp/resolve/main/ggml-small.bin")),
            466 * mebibyte,
            QCryptographicHash::Sha1,
            QByteArrayLiteral("55356645c2b361a969dfd0ef2c5a50d530afd8d5"),
        },
    };
    return models;
}

constexpr quint32 ggmlMagic = 0x67676d6c; // "ggml", stored little-endian
// Multilingual models have 51865 tokens (large-v3: 51866); English-only ones 51864.
constexpr qint32 multilingualVocabulary = 51865;

} // namespace

const QList<WhisperModel>& known()
{
    return catalogue();
}

std::optional<WhisperModel> knownModel(const QString& id)
{
    for (const WhisperModel& model : catalogue()) {
        if (model.id == id)
            return model;
    }
    return std::nullopt;
}

QString standardFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/models");
}

FileKind inspect(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileKind::unreadable;
    constexpr int headerSize = 48; // magic and eleven 32-bit parameters
    const QByteArray header = file.read(headerSize);
    if (header.size() < headerSize)
        return FileKind::notAModel;
    const quint32 magic = qFromLittleEndian<quint32>(header.constData());
    const qint32 vocabulary = qFromLittleEndian<qint32>(header.constData() + 4);
    const qint32 weightType = qFromLittleEndian<qint32>(header.constData() + 44) % 1000;
    if (magic != ggmlMagic || vocabulary <= 0)
        return FileKind::notAModel;
    if (weightType == 0)
        return FileKind::unsupportedModel;
    return vocabulary >= multilingualVocabulary ? FileKind::multilingualModel : FileKind::englishOnlyModel;
}

QString installedModelPath(const QString& folder)
{
    const QFileInfoList candidates
        = QDir(folder).entryInfoList({ QStringLiteral("ggml-*.bin") }, QDir::Files, QDir::Time);
    for (const QFileInfo& candidate : candidates) {
        if (inspect(candidate.filePath()) == FileKind::multilingualModel)
            return candidate.filePath();
    }
    return {};
}

std::optional<QByteArray> fileChecksum(
    const QString& path, QCryptographicHash::Algorithm algorithm, const std::atomic_bool* cancelled)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(algorithm);
    QByteArray block(1 << 20, Qt::Uninitialized);
    while (true) {
        if (cancelled && cancelled->load())
            return std::nullopt;
        const qint64 read = file.read(block.data(), block.size());
        if (read < 0)
            return std::nullopt;
        if (read == 0)
            break;
        hash.addData(QByteArrayView(block.constData(), read));
    }
    return hash.result().toHex();
}

} // namespace WhisperModels
