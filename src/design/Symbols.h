#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include "core/NotePage.h"

// The images the controls show; drawn from the desktop's icon theme or a bundled glyph.
enum class Symbol {
    TaskList,
    Add,
    Close,
    Unchecked,
    Checked,
    Trash,
    Settings,
    Pin,
    Pinned,
    Bell,
    BellOff,
    BellSet,
    Timer,
    Focus,
    Break,
    Play,
    Pause,
    Reset,
    Note,
    Sidebar,
    Waveform,
    Microphone,
    Stop,
    StopPlayback,
    StartPlayback,
    Expand,
    Export,
    Attachment,
};

// Symbol images: the desktop's icon theme when it has a matching icon, otherwise a glyph
// drawn from the bundled font so that every control still shows what it does.
namespace Symbols {
QIcon icon(Symbol symbol);
// A round dot in a colour, for page tabs and swatches.
QIcon dot(const QColor& color, int diameter = 10, bool ticked = false);
QColor noteColor(NoteColor color);
} // namespace Symbols
