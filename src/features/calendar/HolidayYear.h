#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One day that does not follow the weekend rule: a holiday, or a weekend day worked.
struct HolidayOverride {
    // "yyyy-MM-dd"
    QString date {};
    // true: day off; false: adjusted workday
    bool isOff = false;
    // Chinese name, rendered through the text table when shown
    QString name {};

    bool operator==(const HolidayOverride&) const = default;
};

// One calendar year of overrides; days not listed follow the weekend rule.
struct HolidayYear {
    int year = 0;
    QString source {};
    QList<HolidayOverride> days {};

    bool operator==(const HolidayYear&) const = default;
};

// JSON forms: {"year", "source", "days": [{"date", "isOff", "name"}]}. Every key is
// required; other keys are ignored.
namespace HolidayYears {
QByteArray encode(const QList<HolidayYear>& years);
// The stored array; nothing when any entry does not decode.
std::optional<QList<HolidayYear>> decodeList(const QByteArray& data);
// One year from an import file; the error says what is wrong, for the user.
Result<HolidayYear> decode(const QByteArray& data);
} // namespace HolidayYears
