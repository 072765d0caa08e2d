#pragma once

#include <QColor>

// The status colours shared by every view that shows the focus timer or the recorder:
// the edge tab, its quick controls and the symbols drawn in colour.
namespace StatusPalette {
inline QColor focus()
{
    return { 255, 149, 0 };
}
inline QColor rest()
{
    return { 52, 199, 89 };
}
inline QColor recording()
{
    return { 255, 59, 48 };
}
inline QColor note()
{
    return { 10, 132, 255 };
}
// Accent of the panels' controls (the drop highlight).
inline QColor accent()
{
    return { 10, 132, 255 };
}
// Texts and symbols of lesser weight on the panels' dark surface.
inline QColor secondary()
{
    return { 168, 170, 178 };
}
inline QColor label()
{
    return { 200, 201, 208 };
}
} // namespace StatusPalette
