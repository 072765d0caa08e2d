#pragma once

#include <QObject>

class Preferences;

// The mainland-China calendar of public holidays and adjusted workdays.
class HolidayCalendar : public QObject {
    Q_OBJECT
public:
    explicit HolidayCalendar(Preferences* defaults, QObject* parent = nullptr);

private:
    Preferences* m_defaults;
};
