#include "SidebarGeometry.h"

#include <algorithm>
#include <cmath>

QString rawValue(SidebarEdge edge)
{
    return edge == SidebarEdge::left ? QStringLiteral("left") : QStringLiteral("right");
}

std::optional<SidebarEdge> sidebarEdgeFromRawValue(const QString& raw)
{
    if (raw == QLatin1String("left"))
        return SidebarEdge::left;
    if (raw == QLatin1String("right"))
        return SidebarEdge::right;
    return std::nullopt;
}

size_t qHash(SidebarEdge edge, size_t seed) noexcept
{
    return qHash(rawValue(edge), seed);
}

// Every clamp below applies the lower bound first and the upper bound last, so on a
// screen too small for the rectangle the upper (top or right) bound decides.

std::optional<SidebarEdge> SidebarGeometry::nearbyEdge(
    const QRectF& frame, const QRectF& screen, double threshold)
{
    const double left = std::abs(minX(frame) - minX(screen));
    const double right = std::abs(maxX(frame) - maxX(screen));
    if (std::min(left, right) > threshold)
        return std::nullopt;
    return left <= right ? SidebarEdge::left : SidebarEdge::right;
}

SidebarEdge SidebarGeometry::nearestEdge(const QRectF& frame, const QRectF& screen)
{
    const double left = std::abs(minX(frame) - minX(screen));
    const double right = std::abs(maxX(frame) - maxX(screen));
    return left <= right ? SidebarEdge::left : SidebarEdge::right;
}

QRectF SidebarGeometry::dockedFrame(const QRectF& frame, const QRectF& screen, SidebarEdge edge)
{
    const double width = std::min(screen.width(), frame.width());
    const double height = std::min(screen.height(), frame.height());
    const double x = edge == SidebarEdge::right ? maxX(screen) - width : minX(screen);
    double y = std::max(minY(frame), minY(screen));
    y = std::min(maxY(screen) - height, y);
    return { x, y, width, height };
}

QRectF SidebarGeometry::handleFrame(const QRectF& window, const QRectF& screen, SidebarEdge edge)
{
    const double height = std::min(screen.height(), tabMaximumHeight);
    const double x = edge == SidebarEdge::left ? minX(screen) : maxX(screen) - tabWidth;
    double y = midY(window) - height / 2;
    y = std::max(y, minY(screen));
    y = std::min(maxY(screen) - height, y);
    return { x, y, tabWidth, height };
}

QRectF SidebarGeometry::quickControlsFrame(const QRectF& handle, const QRectF& screen, SidebarEdge edge)
{
    const double margin = quickControlsMargin;
    const double width = std::min(screen.width() - 2 * margin, quickControlsWidth);
    const double height = std::min(screen.height() - 2 * margin, quickControlsHeight);
    double x = edge == SidebarEdge::right ? minX(handle) - width - margin : maxX(handle) + margin;
    x = std::max(x, minX(screen) + margin);
    x = std::min(maxX(screen) - width - margin, x);
    double y = midY(handle) - height / 2;
    y = std::max(y, minY(screen) + margin);
    y = std::min(maxY(screen) - height - margin, y);
    return { x, y, width, height };
}
