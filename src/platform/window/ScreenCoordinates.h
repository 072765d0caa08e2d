#pragma once

#include <QRect>
#include <QRectF>

class QScreen;
struct ScreenInfo;

// The one place that converts between Qt's desktop coordinates (origin at the top left of
// the primary screen, y down, whole pixels) and the coordinates SidebarGeometry works in
// (origin at the bottom left of the primary screen, y up). `reference` is the y-down
// coordinate of the primary screen's lower side; the functions without it read the
// current primary screen.
namespace ScreenCoordinates {

double referenceHeight();

QRectF toSidebar(const QRect& desktop, double reference);
QRect toDesktop(const QRectF& sidebar, double reference);

QRectF toSidebar(const QRect& desktop);
QRect toDesktop(const QRectF& sidebar);

// The screen's visible area (without panels and docks), y up.
QRectF visibleFrame(const QScreen* screen);
QRectF visibleFrame(const ScreenInfo& screen, double reference);

} // namespace ScreenCoordinates
