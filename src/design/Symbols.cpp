#include "Symbols.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace {
struct Symbol {
    const char* themeName;
    const char* glyph;
};

const QHash<QString, Symbol>& symbolTable()
{
    static const QHash<QString, Symbol> table {
        { "checklist", { "view-list-details", "☰" } },
        { "plus", { "list-add", "+" } },
        { "xmark", { "edit-delete", "✕" } },
        { "circle", { "", "○" } },
        { "checkmark.circle.fill", { "", "✔" } },
        { "trash", { "user-trash", "🗑" } },
        { "gearshape", { "preferences-system", "⚙" } },
        { "pin", { "", "⚲" } },
        { "pin.fill", { "", "⚲" } },
        { "bell", { "", "🔔" } },
        { "bell.slash", { "", "🔕" } },
        { "bell.badge.fill", { "alarm-symbolic", "◔" } },
        { "timer", { "", "◷" } },
        { "flame.fill", { "", "♨" } },
        { "cup.and.saucer.fill", { "", "☕" } },
        { "play.fill", { "media-playback-start", "▶" } },
        { "pause.fill", { "media-playback-pause", "‖" } },
        { "arrow.counterclockwise", { "edit-undo", "↺" } },
        { "square.and.pencil", { "accessories-text-editor", "✎" } },
        { "sidebar.right", { "", "◨" } },
        { "waveform", { "", "∿" } },
        { "mic.fill", { "audio-input-microphone", "◉" } },
        { "stop.fill", { "media-playback-stop", "■" } },
        { "stop.circle.fill", { "media-playback-stop", "⏹" } },
        { "play.circle.fill", { "media-playback-start", "▶" } },
        { "arrow.up.left.and.arrow.down.right", { "view-fullscreen", "⤢" } },
    };
    return table;
}

QIcon glyphIcon(const QString& glyph)
{
    const int size = 32;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = QApplication::font();
    font.setPixelSize(24);
    painter.setFont(font);
    painter.setPen(QApplication::palette().color(QPalette::WindowText));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

// No bundled font has a bell, so the bells are drawn: outline, filled with a red badge,
// or struck through in the warning orange.
QIcon bellIcon(const QString& symbolName)
{
    const int size = 32;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool slashed = symbolName == QLatin1String("bell.slash");
    const bool filled = symbolName == QLatin1String("bell.badge.fill");
    const QColor ink = slashed ? QColor(255, 149, 0) : QApplication::palette().color(QPalette::WindowText);
    QPainterPath bell;
    bell.moveTo(16, 5);
    bell.cubicTo(10, 5, 8, 10, 8, 15);
    bell.lineTo(8, 21);
    bell.lineTo(5, 24);
    bell.lineTo(27, 24);
    bell.lineTo(24, 21);
    bell.lineTo(24, 15);
    bell.cubicTo(24, 10, 22, 5, 16, 5);
    painter.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(filled ? QBrush(ink) : QBrush(Qt::NoBrush));
    painter.drawPath(bell);
    painter.drawArc(QRectF(13, 24, 6, 5), 180 * 16, 180 * 16);
    if (slashed)
        painter.drawLine(QPointF(5, 4), QPointF(27, 28));
    if (filled) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 59, 48));
        painter.drawEllipse(QPointF(25, 7), 5, 5);
    }
    return QIcon(pixmap);
}
} // namespace

namespace Symbols {

QIcon icon(const QString& symbolName)
{
    if (symbolName.startsWith(QLatin1String("bell")))
        return bellIcon(symbolName);
    const auto it = symbolTable().constFind(symbolName);
    if (it == symbolTable().cend())
        return {};
    if (*it->themeName && QIcon::hasThemeIcon(QString::fromLatin1(it->themeName)))
        return QIcon::fromTheme(QString::fromLatin1(it->themeName));
    return glyphIcon(QString::fromUtf8(it->glyph));
}

QIcon dot(const QColor& color, int diameter, bool ticked)
{
    const int size = diameter * 2;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    if (ticked) {
        painter.setPen(QPen(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF points[] = { { size * 0.28, size * 0.52 }, { size * 0.44, size * 0.68 }, { size * 0.72, size * 0.36 } };
        painter.drawPolyline(points, 3);
    }
    return QIcon(pixmap);
}

QColor noteColor(NoteColor color)
{
    switch (color) {
    case NoteColor::blue:
        return QColor(0, 122, 255);
    case NoteColor::green:
        return QColor(52, 199, 89);
    case NoteColor::orange:
        return QColor(255, 149, 0);
    case NoteColor::pink:
        return QColor(255, 45, 85);
    case NoteColor::purple:
        return QColor(175, 82, 222);
    case NoteColor::gray:
        return QColor(142, 142, 147);
    }
    return QColor(0, 122, 255);
}

} // namespace Symbols
