#include "Symbols.h"

#include "StatusPalette.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QPixmapCache>

namespace {
struct Look {
    const char* themeName;
    const char* glyph;
};

const QHash<Symbol, Look>& symbolTable()
{
    static const QHash<Symbol, Look> table {
        { Symbol::TaskList, { "view-list-details", "☰" } },
        { Symbol::Add, { "list-add", "+" } },
        { Symbol::Close, { "edit-delete", "✕" } },
        { Symbol::Unchecked, { "", "○" } },
        { Symbol::Checked, { "", "✔" } },
        { Symbol::Trash, { "user-trash", "🗑" } },
        { Symbol::Settings, { "preferences-system", "⚙" } },
        { Symbol::Pin, { "", "⚲" } },
        { Symbol::Pinned, { "", "⚲" } },
        { Symbol::Timer, { "", "◷" } },
        { Symbol::Focus, { "", "♨" } },
        { Symbol::Break, { "", "☕" } },
        { Symbol::Play, { "media-playback-start", "▶" } },
        { Symbol::Pause, { "media-playback-pause", "‖" } },
        { Symbol::Reset, { "edit-undo", "↺" } },
        { Symbol::Note, { "accessories-text-editor", "✎" } },
        { Symbol::Sidebar, { "", "◨" } },
        { Symbol::Waveform, { "", "∿" } },
        { Symbol::Microphone, { "audio-input-microphone", "◉" } },
        { Symbol::Stop, { "media-playback-stop", "■" } },
        { Symbol::StopPlayback, { "media-playback-stop", "⏹" } },
        { Symbol::StartPlayback, { "media-playback-start", "▶" } },
        { Symbol::Expand, { "view-fullscreen", "⤢" } },
        { Symbol::Export, { "document-export", "⇪" } },
        { Symbol::Attachment, { "mail-attachment", "📎" } },
    };
    return table;
}

void drawGlyph(QPainter& painter, const QRect& rect, const QString& glyph, const QColor& ink)
{
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = QApplication::font();
    font.setPixelSize(qMax(1, rect.height() * 3 / 4));
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(rect, Qt::AlignCenter, glyph);
}

// No bundled font has a bell, so the bells are drawn: outline, filled with a red badge,
// or struck through in the warning orange.
bool isBell(Symbol symbol)
{
    return symbol == Symbol::Bell || symbol == Symbol::BellOff || symbol == Symbol::BellSet;
}

void drawBell(QPainter& painter, const QRect& rect, Symbol symbol, const QColor& windowText)
{
    painter.save();
    painter.translate(rect.topLeft());
    painter.scale(rect.width() / 32.0, rect.height() / 32.0);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool slashed = symbol == Symbol::BellOff;
    const bool filled = symbol == Symbol::BellSet;
    const QColor ink = slashed ? StatusPalette::focus() : windowText;
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
        painter.setBrush(StatusPalette::recording());
        painter.drawEllipse(QPointF(25, 7), 5, 5);
    }
    painter.restore();
}

// Whether the desktop's theme has the icon; asked once per name, and only when a symbol is
// first drawn, since the lookup walks the theme's folders.
bool themeHas(const QString& name)
{
    // Without a desktop theme Qt searches only "hicolor", which has no action icons: the
    // search would cost every start several milliseconds for nothing.
    static const bool themed = !QIcon::themeName().isEmpty() && QIcon::themeName() != QLatin1String("hicolor");
    if (!themed)
        return false;
    static QHash<QString, bool> known;
    const auto it = known.constFind(name);
    if (it != known.cend())
        return *it;
    return *known.insert(name, QIcon::hasThemeIcon(name));
}

// Draws a symbol when it is first shown rather than when the control is built: the window
// comes up sooner, and the glyphs are sharp at whatever size and scale they are shown.
class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(Symbol symbol, const QString& themeName, const QString& glyph)
        : m_symbol(symbol)
        , m_themeName(themeName)
        , m_glyph(glyph)
    {
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(*this); }
    QString key() const override { return QStringLiteral("TandrelSymbol"); }
    QString iconName() override { return m_themeName; }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        if (themeIcon()) {
            m_theme.paint(painter, rect, Qt::AlignCenter, mode, state);
            return;
        }
        const QPalette palette = QApplication::palette();
        const QColor ink = palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                                         QPalette::WindowText);
        if (isBell(m_symbol))
            drawBell(*painter, rect, m_symbol, ink);
        else
            drawGlyph(*painter, rect, m_glyph, ink);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        if (themeIcon())
            return m_theme.pixmap(size, scale, mode, state);
        const QSize pixels = size * scale;
        const QString cacheKey = QStringLiteral("tandrel-symbol-%1-%2x%3-%4-%5")
                                     .arg(int(m_symbol))
                                     .arg(pixels.width())
                                     .arg(pixels.height())
                                     .arg(int(mode))
                                     .arg(QApplication::palette().color(QPalette::WindowText).rgba());
        QPixmap pixmap;
        if (QPixmapCache::find(cacheKey, &pixmap))
            return pixmap;
        pixmap = QPixmap(pixels);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(), pixels), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        QPixmapCache::insert(cacheKey, pixmap);
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

private:
    bool themeIcon()
    {
        if (!m_themeChecked) {
            m_themeChecked = true;
            if (!m_themeName.isEmpty() && themeHas(m_themeName))
                m_theme = QIcon::fromTheme(m_themeName);
        }
        return !m_theme.isNull();
    }

    Symbol m_symbol;
    QString m_themeName;
    QString m_glyph;
    bool m_themeChecked = false;
    QIcon m_theme;
};
} // namespace

namespace Symbols {

QIcon icon(Symbol symbol)
{
    if (isBell(symbol))
        return QIcon(new SymbolIconEngine(symbol, {}, {}));
    const auto it = symbolTable().constFind(symbol);
    if (it == symbolTable().cend())
        return {};
    return QIcon(new SymbolIconEngine(symbol, QString::fromLatin1(it->themeName), QString::fromUtf8(it->glyph)));
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
