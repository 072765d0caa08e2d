#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include "core/NotePage.h"

// Symbol images: the desktop's icon theme when it has a matching icon, otherwise a glyph
// drawn from the bundled font so that every control still shows what it does.
namespace Symbols {
QIcon icon(const QString& symbolName);
// A round dot in a colour, for page tabs and swatches.
QIcon dot(const QColor& color, int diameter = 10, bool ticked = false);
QColor noteColor(NoteColor color);
} // namespace Symbols
