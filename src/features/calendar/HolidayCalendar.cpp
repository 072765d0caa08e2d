#include "HolidayCalendar.h"

HolidayCalendar::HolidayCalendar(Preferences* defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
{
}
