#include "Symbols.h"

#include "StatusPalette.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPixmapCache>
#include <QSvgRenderer>

// The icons live in a static library's resources, which the linker keeps only when named.
static void loadSymbolResources()
{
    Q_INIT_RESOURCE(symbols);
}

namespace {
struct Look {
    const char* file;
    // Lucide draws outlines; the "filled" variants fill the closed outline with the ink.
    bool filled = false;
};

const QHash<Symbol, Look>& symbolTable()
{
    static const QHash<Symbol, Look> table {
        { Symbol::TaskList, { "list-checks" } },
        { Symbol::Add, { "plus" } },
        { Symbol::Close, { "x" } },
        { Symbol::Unchecked, { "circle" } },
        { Symbol::Checked, { "circle-check" } },
        { Symbol::Trash, { "trash-2" } },
        { Symbol::Settings, { "settings" } },
        { Symbol::Pin, { "pin" } },
        { Symbol::Pinned, { "pin", true } },
        { Symbol::Bell, { "bell" } },
        { Symbol::BellOff, { "bell-off" } },
        { Symbol::BellSet, { "bell-ring" } },
        { Symbol::Timer, { "timer" } },
        { Symbol::Focus, { "target" } },
        { Symbol::Break, { "coffee" } },
        { Symbol::Play, { "play", true } },
        { Symbol::Pause, { "pause", true } },
        { Symbol::Reset, { "rotate-ccw" } },
        { Symbol::Note, { "notebook-pen" } },
        { Symbol::Sidebar, { "panel-right" } },
        { Symbol::Waveform, { "audio-lines" } },
        { Symbol::Microphone, { "mic" } },
        { Symbol::Stop, { "square", true } },
        { Symbol::StopPlayback, { "circle-stop" } },
        { Symbol::StartPlayback, { "circle-play" } },
        { Symbol::Expand, { "maximize-2" } },
        { Symbol::Export, { "share" } },
        { Symbol::Attachment, { "paperclip" } },
    };
    return table;
}

// The SVG text with its ink set; read once per file.
QByteArray inkedSvg(const Look& look, const QColor& ink)
{
    static QHash<QByteArray, QByteArray> sources;
    static const bool loaded = (loadSymbolResources(), true);
    Q_UNUSED(loaded);
    const QByteArray name(look.file);
    auto it = sources.find(name);
    if (it == sources.end()) {
        QFile file(QStringLiteral(":/symbols/%1.svg").arg(QLatin1String(look.file)));
        it = sources.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    QByteArray svg = *it;
    if (look.filled)
        svg.replace("fill=\"none\"", "fill=\"currentColor\"");
    return svg.replace("currentColor", ink.name(QColor::HexRgb).toLatin1());
}

QColor inkFor(Symbol symbol, QIcon::Mode mode)
{
    // The notification warning keeps its orange whatever the palette.
    if (symbol == Symbol::BellOff && mode != QIcon::Disabled)
        return StatusPalette::focus();
    const QPalette palette = QApplication::palette();
    return palette.color(
        mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active, QPalette::WindowText);
}

// Renders the vector image at the size and scale it is shown, in the palette's ink at that
// moment, so that symbols stay sharp on every screen and follow a light/dark switch.
class SymbolIconEngine : public QIconEngine {
public:
    explicit SymbolIconEngine(Symbol symbol)
        : m_symbol(symbol)
    {
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(*this); }
    QString key() const override { return QStringLiteral("TandrelSymbol"); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size() * scale, mode, state, scale));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // `pixels` is already in device pixels; `scale` only labels the result.
    QPixmap scaledPixmap(const QSize& pixels, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        const QColor ink = inkFor(m_symbol, mode);
        const QString cacheKey = QStringLiteral("tandrel-symbol-%1-%2x%3-%4")
                                     .arg(int(m_symbol))
                                     .arg(pixels.width())
                                     .arg(pixels.height())
                                     .arg(ink.rgba());
        QPixmap pixmap;
        if (QPixmapCache::find(cacheKey, &pixmap))
            return pixmap;
        pixmap = QPixmap(pixels);
        pixmap.fill(Qt::transparent);
        QSvgRenderer renderer(inkedSvg(symbolTable().value(m_symbol), ink));
        {
            QPainter painter(&pixmap);
            renderer.render(&painter, QRectF(QPointF(), QSizeF(pixels)));
        }
        pixmap.setDevicePixelRatio(scale);
        QPixmapCache::insert(cacheKey, pixmap);
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

private:
    Symbol m_symbol;
};
} // namespace

namespace Symbols {

QIcon icon(Symbol symbol)
{
    if (!symbolTable().contains(symbol))
        return {};
    return QIcon(new SymbolIconEngine(symbol));
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
        const QPointF points[]
            = { { size * 0.28, size * 0.52 }, { size * 0.44, size * 0.68 }, { size * 0.72, size * 0.36 } };
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
