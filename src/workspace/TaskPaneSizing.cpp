#include "TaskPaneSizing.h"

#include <algorithm>

double TaskPaneSizing::available(double areaHeight)
{
    return std::max(areaHeight - kDivider, 0.0);
}

double TaskPaneSizing::cardHeight(double available, double ratio)
{
    return std::min(
        std::max(available - kNotesMinimum, kCardMinimum), std::max(available * ratio, kCardMinimum));
}

double TaskPaneSizing::ratioFor(double available, double height)
{
    const double clamped
        = std::min(std::max(height, kCardMinimum), std::max(available - kNotesMinimum, kCardMinimum));
    return clamped / std::max(available, 1.0);
}

double TaskPaneSizing::stepped(double available, double ratio, int direction)
{
    return ratioFor(available, available * (ratio + direction * kStep));
}

double TaskPaneSizing::drag(double available, double ratio, double delta, bool ended)
{
    if (!m_dragStartHeight)
        m_dragStartHeight = cardHeight(available, ratio);
    const double stored = ratioFor(available, *m_dragStartHeight + delta);
    if (ended)
        m_dragStartHeight.reset();
    return stored;
}
