#pragma once

#include <QMetaType>
#include <QString>

// A failure of an audio file as the encoding and decoding threads report it: what went
// wrong and with which file. Only the main thread turns it into a sentence, since texts
// follow the interface language, which lives there.
struct AudioFileError {
    enum class Kind { cannotCreate, cannotRead };

    Kind kind = Kind::cannotRead;
    QString path;

    // The sentence for the user, in the interface language. Main thread only.
    QString text() const;

    friend bool operator==(const AudioFileError&, const AudioFileError&) = default;
};

Q_DECLARE_METATYPE(AudioFileError)
