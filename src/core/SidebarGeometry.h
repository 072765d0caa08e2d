#pragma once

#include <QHashFunctions>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// The screen edge the sidebar docks to. Stored and compared as "left" / "right".
enum class SidebarEdge { left, right };

QString rawValue(SidebarEdge edge);
// Exactly "left" or "right"; anything else is no edge.
std::optional<SidebarEdge> sidebarEdgeFromRawValue(const QString& raw);
size_t qHash(SidebarEdge edge, size_t seed = 0) noexcept;

// Where the docked window, the edge tab and the quick-controls panel go.
//
// Rectangles are in desktop points with the origin at the bottom left and y growing
// upward: for a QRectF r here, minY = r.y() is its lower side and maxY = r.y() + r.height()
// its upper side (ScreenCoordinates converts from and to Qt's y-down desktop). The screen
// rectangle is always a screen's visible area, never its full frame. Pure functions.
struct SidebarGeometry {
    static constexpr double tabWidth = 52;
    static constexpr double tabMaximumHeight = 164;
    static constexpr double quickControlsWidth = 240;
    static constexpr double quickControlsHeight = 210;
    static constexpr double quickControlsMargin = 8;

    static QSizeF quickControlsSize() { return { quickControlsWidth, quickControlsHeight }; }

    static double minX(const QRectF& r) { return r.x(); }
    static double maxX(const QRectF& r) { return r.x() + r.width(); }
    static double minY(const QRectF& r) { return r.y(); }
    static double maxY(const QRectF& r) { return r.y() + r.height(); }
    static double midY(const QRectF& r) { return r.y() + r.height() / 2; }

    // The edge `frame` is within `threshold` points of (inclusive); a tie goes to the left.
    static std::optional<SidebarEdge> nearbyEdge(const QRectF& frame, const QRectF& screen, double threshold);
    // The closer edge; a tie goes to the left.
    static SidebarEdge nearestEdge(const QRectF& frame, const QRectF& screen);
    // `frame` flush with the edge, no larger than the screen, keeping its height position
    // as far as it fits (the upper side wins when it does not).
    static QRectF dockedFrame(const QRectF& frame, const QRectF& screen, SidebarEdge edge);
    // The edge tab for a window frame: inside the screen, flush with the edge, centred on
    // the window's vertical middle.
    static QRectF handleFrame(const QRectF& window, const QRectF& screen, SidebarEdge edge);
    // The quick-controls panel beside a tab, toward the inside of the screen, at least
    // 8 points from every screen side.
    static QRectF quickControlsFrame(const QRectF& handle, const QRectF& screen, SidebarEdge edge);
};
