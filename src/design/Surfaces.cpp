#include "Surfaces.h"

#include <QImage>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QRadialGradient>
#include <QtMath>

#include <vector>

namespace {
QColor rgb(double r, double g, double b, double alpha)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(alpha));
}

// An ellipse blurred by `blur`: a radial fade from the colour to nothing.
void paintGlow(QPainter& painter, const QPointF& centre, const QSizeF& size, qreal blur, const QColor& color)
{
    const qreal rx = size.width() / 2 + blur;
    const qreal ry = size.height() / 2 + blur;
    painter.save();
    painter.translate(centre);
    painter.scale(rx, ry);
    QRadialGradient glow(QPointF(0, 0), 1);
    QColor clear = color;
    clear.setAlpha(0);
    glow.setColorAt(0, color);
    glow.setColorAt(qMax(0.0, 1 - 2 * blur / (rx + ry)),
        QColor(color.red(), color.green(), color.blue(), color.alpha() / 2));
    glow.setColorAt(1, clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(QPointF(0, 0), 1, 1);
    painter.restore();
}

// A card's shadow and body are the same all along its straight edges: drawn once around a
// small card, they are stretched between the corners to any card's size, instead of six
// translucent layers being filled over the whole card at every paint.
struct CardPatch {
    bool dark = false;
    bool solid = false;
    QRgb base = 0;
    qreal cornerRadius = 0;
    std::optional<QRgb> tint;
    int devicePixelRatio = 1;

    bool operator==(const CardPatch&) const = default;
};

// Beyond the card: the shadow reaches half of itself sideways, a third up and all of it down.
constexpr int kLeft = Surfaces::kShadowReach / 2 + 1;
constexpr int kTop = Surfaces::kShadowReach / 3 + 1;
constexpr int kBottom = Surfaces::kShadowReach + 1;

// Each corner's curves lie within this distance of the card's sides.
int cornerExtent(qreal cornerRadius)
{
    return qCeil(cornerRadius + Surfaces::kShadowReach / 2.0) + 1;
}

const QImage& patchImage(const CardPatch& patch)
{
    static std::vector<std::pair<CardPatch, QImage>> drawn;
    for (const auto& [key, image] : drawn) {
        if (key == patch)
            return image;
    }
    if (drawn.size() >= 8)
        drawn.clear();
    const int corner = cornerExtent(patch.cornerRadius);
    const int side = 2 * corner + 1;
    QImage image(QSize(kLeft + side + kLeft, kTop + side + kBottom) * patch.devicePixelRatio,
        QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(patch.devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QPalette colours;
    colours.setColor(QPalette::Base, QColor::fromRgba(patch.base));
    Surfaces::paintCardBody(painter, QRectF(kLeft, kTop, side, side), { patch.dark, patch.solid }, colours,
        patch.cornerRadius, patch.tint ? std::optional<QColor>(QColor::fromRgba(*patch.tint)) : std::nullopt);
    painter.end();
    drawn.emplace_back(patch, image);
    return drawn.back().second;
}

// Whole device pixels only, where the stretched middle rows and columns land exactly.
bool paintCardPatched(QPainter& painter, const QRectF& rect, const Surfaces::Look& look,
    const QPalette& palette, qreal cornerRadius, std::optional<QColor> tint)
{
    const qreal ratio = painter.device()->devicePixelRatio();
    const int corner = cornerExtent(cornerRadius);
    const QTransform& transform = painter.transform();
    const bool whole = rect == QRectF(rect.toRect()) && ratio == qRound(ratio)
        && transform.type() <= QTransform::TxTranslate && transform.dx() == qRound(transform.dx())
        && transform.dy() == qRound(transform.dy());
    if (!whole || rect.width() < 2 * corner + 1 || rect.height() < 2 * corner + 1)
        return false;
    const CardPatch patch { look.dark, look.solid, palette.color(QPalette::Base).rgba(), cornerRadius,
        tint ? std::optional<QRgb>(tint->rgba()) : std::nullopt, qRound(ratio) };
    const QImage& image = patchImage(patch);
    const int side = 2 * corner + 1;
    // Source and target edges of the three columns and rows: the outside and the corner,
    // the stretched middle, the corner and the outside.
    const qreal sourceX[]
        = { 0, qreal(kLeft + corner), qreal(kLeft + corner + 1), qreal(kLeft + side + kLeft) };
    const qreal sourceY[]
        = { 0, qreal(kTop + corner), qreal(kTop + corner + 1), qreal(kTop + side + kBottom) };
    const qreal right = rect.x() + rect.width();
    const qreal bottom = rect.y() + rect.height();
    const qreal targetX[] = { rect.x() - kLeft, rect.x() + corner, right - corner, right + kLeft };
    const qreal targetY[] = { rect.y() - kTop, rect.y() + corner, bottom - corner, bottom + kBottom };
    painter.save();
    // Stretched, the one-pixel middle rows and columns must not be blended with their neighbours.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRectF target(
                QPointF(targetX[column], targetY[row]), QPointF(targetX[column + 1], targetY[row + 1]));
            const QRectF source(QPointF(sourceX[column], sourceY[row]) * ratio,
                QPointF(sourceX[column + 1], sourceY[row + 1]) * ratio);
            if (row == 1 && column == 1) {
                // The middle is one colour: filled, not stretched.
                const QPoint middle = source.topLeft().toPoint();
                painter.fillRect(target, QColor::fromRgba(qUnpremultiply(image.pixel(middle))));
            } else {
                painter.drawImage(target, image, source);
            }
        }
    }
    painter.restore();
    return true;
}

// The window's wash and glows over `area`, in whatever scale `painter` draws at.
void drawBackdrop(QPainter& painter, const QRectF& area, const Surfaces::Look& look, QRgb window)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, QColor::fromRgba(window));
    QLinearGradient wash(area.topLeft(), area.bottomRight());
    wash.setColorAt(0, look.dark ? rgb(0.045, 0.1, 0.2, 0.8) : rgb(0.83, 0.9, 0.98, 0.74));
    wash.setColorAt(1, look.dark ? rgb(0.07, 0.19, 0.24, 0.64) : rgb(0.86, 0.96, 0.94, 0.66));
    painter.fillRect(area, wash);
    if (!look.solid) {
        const qreal w = area.width();
        const qreal h = area.height();
        paintGlow(painter, area.center() + QPointF(0.35 * w, -0.2 * h), QSizeF(0.95 * w, 0.42 * h), 65,
            rgb(0, 1, 1, look.dark ? 0.16 : 0.18));
        paintGlow(painter, area.center() + QPointF(-0.35 * w, 0.28 * h), QSizeF(w, 0.4 * h), 75,
            rgb(0, 0.48, 1, look.dark ? 0.14 : 0.12));
    }
}
} // namespace

namespace Surfaces {

void paintWindow(QPainter& painter, const QRectF& rect, const Look& look, const QPalette& palette)
{
    // The wash and the glows are soft all over: drawn at a quarter of the size and scaled up
    // smoothly they look the same, for a sixteenth of the work, and the window repaints them
    // whenever something over them changes.
    constexpr qreal kScale = 0.25;
    struct Drawn {
        QSize size;
        bool dark = false;
        bool solid = false;
        QRgb window = 0;
        QImage image;
    };
    static Drawn drawn;
    const QSize size(qCeil(rect.width() * kScale), qCeil(rect.height() * kScale));
    const QRgb window = palette.color(QPalette::Window).rgba();
    if (size.isEmpty())
        return;
    if (drawn.image.isNull() || drawn.size != size || drawn.dark != look.dark || drawn.solid != look.solid
        || drawn.window != window) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        QPainter small(&image);
        small.scale(kScale, kScale);
        drawBackdrop(small, QRectF(QPointF(0, 0), rect.size()), look, window);
        small.end();
        drawn = { size, look.dark, look.solid, window, image };
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect, drawn.image);
    painter.restore();
}

QColor windowTone(const QSizeF& size, const Look& look, const QPalette& palette)
{
    // The backdrop drawn a few pixels across and averaged.
    constexpr int kAcross = 8;
    if (size.isEmpty())
        return palette.color(QPalette::Window);
    const QSize tiny(kAcross, qBound(1, qRound(kAcross * size.height() / size.width()), 64));
    QImage image(tiny, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.scale(tiny.width() / size.width(), tiny.height() / size.height());
    drawBackdrop(painter, QRectF(QPointF(0, 0), size), look, palette.color(QPalette::Window).rgba());
    painter.end();
    return image.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
}

void paintCardBody(QPainter& painter, const QRectF& rect, const Look& look, const QPalette& palette,
    qreal cornerRadius, std::optional<QColor> tint)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // The soft shadow: rings growing outwards and downwards, each fainter.
    const QColor shadow = rgb(0.02, 0.12, 0.22, look.dark ? 0.12 : 0.055);
    for (int ring = kShadowReach; ring >= 1; --ring) {
        QColor layer = shadow;
        layer.setAlphaF(shadow.alphaF() * (1.0 - qreal(ring) / (kShadowReach + 1)) * 0.6);
        painter.setBrush(layer);
        const QRectF spread = rect.adjusted(-ring / 2.0, -ring / 3.0, ring / 2.0, ring);
        painter.drawRoundedRect(spread, cornerRadius + ring / 2.0, cornerRadius + ring / 2.0);
    }
    QColor fill = palette.color(QPalette::Base);
    if (!look.solid)
        fill.setAlphaF(look.dark ? 0.25f : 0.46f);
    painter.setBrush(fill);
    painter.drawRoundedRect(rect, cornerRadius, cornerRadius);
    if (tint) {
        QColor wash = *tint;
        wash.setAlphaF(look.dark ? 0.16f : 0.10f);
        painter.setBrush(wash);
        painter.drawRoundedRect(rect, cornerRadius, cornerRadius);
    }
    painter.restore();
}

void paintCardBorder(QPainter& painter, const QRectF& rect, const Look& look, qreal cornerRadius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient edge(rect.topLeft(), rect.bottomRight());
    edge.setColorAt(0, rgb(1, 1, 1, look.dark ? 0.15 : 0.7));
    edge.setColorAt(1, rgb(1, 1, 1, look.dark ? 0.04 : 0.2));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(edge), 1));
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
    painter.restore();
}

void paintCard(QPainter& painter, const QRectF& rect, const Look& look, const QPalette& palette,
    qreal cornerRadius, std::optional<QColor> tint)
{
    if (!paintCardPatched(painter, rect, look, palette, cornerRadius, tint))
        paintCardBody(painter, rect, look, palette, cornerRadius, tint);
    paintCardBorder(painter, rect, look, cornerRadius);
}

} // namespace Surfaces
