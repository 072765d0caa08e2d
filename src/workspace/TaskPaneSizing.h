#pragma once

#include <optional>

// How the task card and the notes share the area below the timer: the card's height follows
// a stored ratio of the available height, never below 124, leaving the notes at least 200
// while there is room for both. A drag resizes from the height the card had when it began.
class TaskPaneSizing {
public:
    static constexpr double kDefaultRatio = 0.28;
    static constexpr double kStep = 0.05;
    static constexpr double kCardMinimum = 124;
    static constexpr double kNotesMinimum = 200;
    static constexpr double kDivider = 16;

    // The height shared by card and notes in an area `areaHeight` high (the divider's
    // strip taken off).
    static double available(double areaHeight);
    static double cardHeight(double available, double ratio);
    // The ratio to store for a card `height` high, clamped to the limits.
    static double ratioFor(double available, double height);
    // The ratio after a keyboard or accessibility step up (+1) or down (-1).
    static double stepped(double available, double ratio, int direction);

    // One step of a divider drag: `delta` from where it began (positive enlarges the card).
    // Returns the ratio to store.
    double drag(double available, double ratio, double delta, bool ended);
    void cancelDrag() { m_dragStartHeight.reset(); }
    bool dragging() const { return m_dragStartHeight.has_value(); }

private:
    std::optional<double> m_dragStartHeight;
};
