#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <tuple>

// What the fuzzing engine hands a target, in the forms the decoders take.
namespace FuzzInput {

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// As text read from a file: invalid UTF-8 turns into replacement characters.
inline QString text(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(bytes(data, size));
}

// A property that must hold for every input; the engine reports the input when it does not.
inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Writes the bytes to `path`, for the decoders that read files.
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
}

// A file of the process's own holding the bytes.
inline QString file(const uint8_t* data, size_t size, const QString& name)
{
    static const QTemporaryDir folder;
    const QString path = folder.filePath(name);
    writeFile(path, bytes(data, size));
    return path;
}

} // namespace FuzzInput
