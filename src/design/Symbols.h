#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include "core/NotePage.h"

// The images the controls show, from the bundled vector icon set.
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

// Symbol images: bundled vector icons drawn in the palette's text colour at the size and
// scale they are shown.
namespace Symbols {
QIcon icon(Symbol symbol);
// A round dot in a colour, for page tabs and swatches.
QIcon dot(const QColor& color, int diameter = 10, bool ticked = false);
QColor noteColor(NoteColor color);
} // namespace Symbols
