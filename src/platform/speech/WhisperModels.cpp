#include "WhisperModels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>

namespace WhisperModels {

namespace {

constexpr qint64 mebibyte = 1024 * 1024;

// SHA-1 sums as listed in models/README.md of whisper.cpp 1.9.1 (the source the build
// uses); SHA-256 sums and exact sizes as the model repository publishes them (its large
// file object ids). The quantized files have no published SHA-1.
const QList<WhisperModel>& catalogue()
{
    static const QList<WhisperModel> models {
        { QStringLiteral("tiny"), QStringLiteral("ggml-tiny.bin"), 75 * mebibyte,
            QByteArrayLiteral("bd577a113a864445d4c299885e0cb97d4ba92b5f"),
            QByteArrayLiteral("be07e048e1e599ad46341c8d2a135645097a538221678b7acdd1b1919c6e1b21") },
        { QStringLiteral("tiny-q5_1"), QStringLiteral("ggml-tiny-q5_1.bin"), 32152673, {},
            QByteArrayLiteral("818710568da3ca15689e31a743197b520007872ff9576237bda97bd1b469c3d7") },
        { QStringLiteral("base"), QStringLiteral("ggml-base.bin"), 147951465,
            QByteArrayLiteral("465707469ff3a37a2b9b8d8f89f2f99de7299dac"),
            QByteArrayLiteral("60ed5bc3dd14eea856493d334349b405782ddcaf0028d4b5df4088345fba2efe") },
        { QStringLiteral("base-q5_1"), QStringLiteral("ggml-base-q5_1.bin"), 59707625, {},
            QByteArrayLiteral("422f1ae452ade6f30a004d7e5c6a43195e4433bc370bf23fac9cc591f01a8898"), true },
        { QStringLiteral("base-q8_0"), QStringLiteral("ggml-base-q8_0.bin"), 81768585, {},
            QByteArrayLiteral("c577b9a86e7e048a0b7eada054f4dd79a56bbfa911fbdacf900ac5b567cbb7d9") },
        { QStringLiteral("small"), QStringLiteral("ggml-small.bin"), 487601967,
            QByteArrayLiteral("55356645c2b361a969dfd0ef2c5a50d530afd8d5"),
            QByteArrayLiteral("1be3a9b2063867b937e64e2ec7483364a79917e157fa98c5d94b5c1fffea987b") },
        { QStringLiteral("small-q5_1"), QStringLiteral("ggml-small-q5_1.bin"), 190085487, {},
            QByteArrayLiteral("ae85e4a935d7a567bd102fe55afc16bb595bdb618e11b2fc7591bc08120411bb") },
        { QStringLiteral("small-q8_0"), QStringLiteral("ggml-small-q8_0.bin"), 264464607, {},
            QByteArrayLiteral("49c8fb02b65e6049d5fa6c04f81f53b867b5ec9540406812c643f177317f779f") },
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

const QList<ModelSource>& builtInSources()
{
    // The mirrors keep the original's file names under their own base address.
    static const QList<ModelSource> sources {
        { QStringLiteral("huggingface"), QUrl(QStringLiteral("https://huggingface.co/ggerganov/whisper.cpp/resolve/main")) },
        { QStringLiteral("hf-mirror"), QUrl(QStringLiteral("https://hf-mirror.com/ggerganov/whisper.cpp/resolve/main")) },
        { QStringLiteral("modelscope"),
            QUrl(QStringLiteral("https://www.modelscope.cn/models/AI-ModelScope/whisper.cpp/resolve/master")) },
    };
    return sources;
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
