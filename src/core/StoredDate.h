#pragma once

#include <QDateTime>

// Dates are stored as seconds (fractional) since 2001-01-01 00:00:00 UTC so that stored
// workspaces stay portable between platforms.
namespace StoredDate {
QDateTime referenceDate();
double toSeconds(const QDateTime& date);
QDateTime fromSeconds(double seconds);
} // namespace StoredDate
