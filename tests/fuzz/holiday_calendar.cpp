// An imported holiday calendar file, through the calendar's own import: any bytes are
// imported or refused with a reason; an imported year is shown and read back after a restart.
#include "FuzzInput.h"
#include "features/calendar/HolidayCalendar.h"
#include "platform/preferences/Preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QTemporaryDir folder;
    Preferences preferences(folder.filePath(QStringLiteral("preferences.sqlite")));
    std::ignore = preferences.remove(QStringLiteral("holidayYears"));
    HolidayCalendar calendar(&preferences);
    if (const auto error = calendar.importData(FuzzInput::bytes(data, size))) {
        FuzzInput::require(!error->text().isEmpty());
        return 0;
    }
    const HolidayYear& imported = calendar.years().constLast();
    for (const HolidayOverride& day : imported.days)
        FuzzInput::require(calendar.summary(*HolidayCalendar::parse(day.date)).days.size() == 7);
    FuzzInput::require(HolidayCalendar(&preferences).years() == calendar.years());
    return 0;
}
