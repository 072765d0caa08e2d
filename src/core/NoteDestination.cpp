#include "NoteDestination.h"

namespace NoteDestinations {

QString storedValue(NoteDestination destination)
{
    switch (destination) {
    case NoteDestination::currentNote:
        return QStringLiteral("currentNote");
    case NoteDestination::newNote:
        return QStringLiteral("newNote");
    }
    return QStringLiteral("currentNote");
}

std::optional<NoteDestination> fromStoredValue(const QString& value)
{
    for (NoteDestination destination : allCases()) {
        if (value == storedValue(destination))
            return destination;
    }
    return std::nullopt;
}

QList<NoteDestination> allCases()
{
    return { NoteDestination::currentNote, NoteDestination::newNote };
}

QString label(NoteDestination destination)
{
    switch (destination) {
    case NoteDestination::currentNote:
        return QStringLiteral("当前笔记");
    case NoteDestination::newNote:
        return QStringLiteral("新笔记");
    }
    return QStringLiteral("当前笔记");
}

} // namespace NoteDestinations
