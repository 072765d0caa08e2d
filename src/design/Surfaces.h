#pragma once

#include <QColor>
#include <QRectF>

#include <optional>

class QPainter;
class QPalette;

// The sidebar's backgrounds: the window's tinted gradient and the rounded cards over it.
// `solid` drops the translucency (the desktop asks for more contrast).
namespace Surfaces {
struct Look {
    bool dark = false;
    bool solid = false;
};

void paintWindow(QPainter& painter, const QRectF& rect, const Look& look, const QPalette& palette);
// The window's backdrop of `size` as one flat colour, its average, for a frame that comes
// too soon to draw the backdrop itself.
QColor windowTone(const QSizeF& size, const Look& look, const QPalette& palette);
// A card of `rect`; its soft shadow reaches a few pixels beyond it.
void paintCard(QPainter& painter, const QRectF& rect, const Look& look, const QPalette& palette,
    qreal cornerRadius = 18, std::optional<QColor> tint = std::nullopt);
// The card's parts. paintCard draws the body (shadow, fill and tint) stretched from a small
// card drawn once, where it can; this draws it outright.
void paintCardBody(QPainter& painter, const QRectF& rect, const Look& look, const QPalette& palette,
    qreal cornerRadius = 18, std::optional<QColor> tint = std::nullopt);
void paintCardBorder(QPainter& painter, const QRectF& rect, const Look& look, qreal cornerRadius = 18);
// How far the card's shadow reaches beyond its rectangle.
constexpr int kShadowReach = 6;
} // namespace Surfaces
