#include "StoredDate.h"

#include <cmath>

namespace {
// 2001-01-01 00:00:00 UTC in milliseconds since the Unix epoch.
constexpr qint64 referenceMSecs = 978'307'200'000;
// Beyond 2^53 milliseconds a double no longer holds whole milliseconds, and the range
// (about 285,000 years) is far wider than any date a user can set.
constexpr double msecsLimit = 9'007'199'254'740'992.0;
} // namespace

namespace StoredDate {

QDateTime referenceDate()
{
    return QDateTime::fromMSecsSinceEpoch(referenceMSecs, Qt::UTC);
}

double toSeconds(const QDateTime& date)
{
    // An invalid date has no instant; the reference date keeps the record writable and readable.
    if (!date.isValid())
        return 0.0;
    return double(date.toMSecsSinceEpoch() - referenceMSecs) / 1000.0;
}

QDateTime fromSeconds(double seconds)
{
    if (!std::isfinite(seconds))
        return {};
    // QDateTime holds milliseconds; rounding (not truncating) makes written values read back exactly.
    const double msecs = std::round(seconds * 1000.0);
    if (std::abs(msecs) > msecsLimit)
        return {};
    return QDateTime::fromMSecsSinceEpoch(referenceMSecs + qint64(msecs), Qt::UTC);
}

} // namespace StoredDate
