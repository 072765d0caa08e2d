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
// A card of `rect`; its soft shadow reaches a few pixels beyond it.
void paintCard(QPainter& painter, const QRectF& rect, const Look& look, const QPalette& palette,
    qreal cornerRadius = 18, std::optional<QColor> tint = std::nullopt);
// How far the card's shadow reaches beyond its rectangle.
constexpr int kShadowReach = 6;
} // namespace Surfaces
