#pragma once

#include <QList>
#include <QString>

#include <optional>

// Where something new (a finished recording, dropped files) goes.
enum class NoteDestination { currentNote, newNote };

namespace NoteDestinations {
QString storedValue(NoteDestination destination);
std::optional<NoteDestination> fromStoredValue(const QString& value);
QList<NoteDestination> allCases();
// Chinese label; render it through L10n for display.
QString label(NoteDestination destination);
} // namespace NoteDestinations
