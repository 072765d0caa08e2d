#pragma once

#include "Uuid.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

enum class TranscriptionStatus { queued, transcribing, completed, failed };

namespace TranscriptionStatuses {
QString storedValue(TranscriptionStatus status);
std::optional<TranscriptionStatus> fromStoredValue(const QString& value);
} // namespace TranscriptionStatuses

// Order matters: new pages cycle through the colours in this order.
enum class NoteColor { blue, green, orange, pink, purple, gray };

namespace NoteColors {
QString storedValue(NoteColor color);
std::optional<NoteColor> fromStoredValue(const QString& value);
// Chinese title; render it through L10n for display.
QString title(NoteColor color);
QList<NoteColor> allCases();
} // namespace NoteColors

// A recording attached to a page; identified by its file name within the page.
// Members carry empty braces so that designated initialisers may omit them without GCC's
// -Wmissing-field-initializers; the same holds for the records below.
struct NoteAudio {
    QString filename {};
    QDateTime createdAt {};
    TranscriptionStatus status = TranscriptionStatus::queued;
    std::optional<QString> error {};

    bool operator==(const NoteAudio&) const = default;
};

// A copy of a dropped file kept in an attachment folder.
struct NoteFile {
    QUuid id = Uuid::create();
    QString filename {};
    QString originalName {};
    std::optional<QUuid> folderID {};

    bool operator==(const NoteFile&) const = default;
};

struct NotePage {
    QUuid id = Uuid::create();
    QString title {};
    NoteColor color = NoteColor::blue;
    QString content {};
    QList<NoteAudio> attachments {};
    QList<NoteFile> files {};

    bool operator==(const NotePage&) const = default;
};
