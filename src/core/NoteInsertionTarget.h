#pragma once

#include <QUuid>

#include <optional>

// Where something new is inserted, decided at the moment the user acts: the page that was
// current then, or a page still to be created.
struct NoteInsertionTarget {
    // The page that was current; nothing for a new page.
    std::optional<QUuid> existingNote {};

    static NoteInsertionTarget newNote() { return {}; }
    static NoteInsertionTarget existing(const QUuid& pageID) { return { pageID }; }
    bool isNewNote() const { return !existingNote.has_value(); }

    bool operator==(const NoteInsertionTarget&) const = default;
};
