#include "ScreenCoordinates.h"

#include "ScreenList.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace ScreenCoordinates {

double referenceHeight()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return 0;
    const QRect geometry = primary->geometry();
    return geometry.y() + geometry.height();
}

QRectF toSidebar(const QRect& desktop, double reference)
{
    return { double(desktop.x()), reference - (desktop.y() + desktop.height()), double(desktop.width()),
        double(desktop.height()) };
}

QRect toDesktop(const QRectF& sidebar, double reference)
{
    // Round the sides rather than the size, so that adjacent rectangles stay adjacent.
    const double top = reference - (sidebar.y() + sidebar.height());
    const int left = int(std::lround(sidebar.x()));
    const int right = int(std::lround(sidebar.x() + sidebar.width()));
    const int y = int(std::lround(top));
    const int bottom = int(std::lround(top + sidebar.height()));
    return { left, y, right - left, bottom - y };
}

QRectF toSidebar(const QRect& desktop)
{
    return toSidebar(desktop, referenceHeight());
}

QRect toDesktop(const QRectF& sidebar)
{
    return toDesktop(sidebar, referenceHeight());
}

QRectF visibleFrame(const QScreen* screen)
{
    return screen ? toSidebar(screen->availableGeometry()) : QRectF();
}

QRectF visibleFrame(const ScreenInfo& screen, double reference)
{
    return toSidebar(screen.availableGeometry, reference);
}

} // namespace ScreenCoordinates
