#pragma once

#include "platform/localization/AppLanguage.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One day of the week with its status, its texts already rendered.
struct WeekDayStatus {
    // Start of the day in the holiday calendar's time zone.
    QDateTime date {};
    QString weekday {};
    bool isOff = false;
    QString detail {};

    bool operator==(const WeekDayStatus&) const = default;
};

// The days off of one Monday-to-Sunday week.
struct WeeklyRestSummary {
    // Monday to Sunday.
    QList<WeekDayStatus> days {};
    int restCount = 0;
    // Calendar days from today to the week's first day off; negative once it has passed,
    // nothing when the week has none.
    std::optional<int> daysUntilFirstRest {};
    // Some day of the week lies in a year without a loaded calendar.
    bool isEstimated = false;
    bool todayIsOff = false;

    // The one-line summary in the interface language.
    QString text() const;
    QString text(AppLanguage language) const;

    bool operator==(const WeeklyRestSummary&) const = default;
};
