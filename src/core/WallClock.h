#pragma once

#include <QDateTime>

#include <functional>

// "Now" on the wall clock. Objects that compare dates with the present take one of these
// so that tests can pin the time; an empty function means the system clock.
using WallClock = std::function<QDateTime()>;

namespace WallClocks {
inline QDateTime now(const WallClock& clock)
{
    return clock ? clock() : QDateTime::currentDateTime();
}
} // namespace WallClocks
