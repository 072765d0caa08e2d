#include "Symbols.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
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
        { "pin", { "", "📌" } },
        { "pin.fill", { "", "📍" } },
        { "bell", { "", "🔔" } },
        { "bell.slash", { "", "🔕" } },
        { "square.and.pencil", { "accessories-text-editor", "✎" } },
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
} // namespace

namespace Symbols {

QIcon icon(const QString& symbolName)
{
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
