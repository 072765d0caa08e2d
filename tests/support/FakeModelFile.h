#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QtEndian>

// The first bytes of a whisper model: magic, vocabulary size, nine more parameters, weight type.
inline QByteArray whisperModelHeader(qint32 vocabulary, qint32 weightType = 1)
{
    QByteArray header(48, '\0');
    qToLittleEndian<quint32>(0x67676d6c, header.data());
    qToLittleEndian<qint32>(vocabulary, header.data() + 4);
    qToLittleEndian<qint32>(weightType, header.data() + 44);
    return header;
}

// Half a megabyte that looks like a multilingual model to the header check.
inline QByteArray fakeWhisperModel()
{
    QByteArray bytes = whisperModelHeader(51865);
    bytes.resize(512 * 1024);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(bytes.data() + 48), (bytes.size() - 48) / 4);
    return bytes;
}
