#pragma once

#include "core/Result.h"
#include "features/calendar/HolidayYear.h"
#include "features/calendar/WeeklyRestSummary.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimeZone>

#include <memory>
#include <optional>

class FolderChooser;
class Preferences;

// The mainland-China calendar of public holidays and adjusted workdays, one year at a
// time: 2026 is built in, later years are imported from JSON files and kept in the
// preferences store. Every date computation uses one fixed calendar (Gregorian,
// Asia/Shanghai, weeks starting on Monday), whatever the machine's time zone.
class HolidayCalendar : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<HolidayYear> years READ years NOTIFY yearsChanged)
    Q_PROPERTY(std::optional<QString> issue READ issue NOTIFY issueChanged)
public:
    // Import files of this many bytes or more are refused.
    static constexpr qint64 maximumFileSize = 2'000'000;

    // `chooser` picks the import file (a dialog when none is given); `preferences` must
    // outlive the calendar.
    explicit HolidayCalendar(
        Preferences* preferences, std::shared_ptr<FolderChooser> chooser = {}, QObject* parent = nullptr);
    HolidayCalendar(Preferences* preferences, QObject* parent);
    ~HolidayCalendar() override;

    // The official notice the built-in year follows.
    static QString officialNoticeURL();
    static HolidayYear builtInYear();

    // Asia/Shanghai.
    static QTimeZone timeZone();
    // Strict "yyyy-MM-dd": the start of that day, or nothing for any other text.
    static std::optional<QDateTime> parse(const QString& text);
    // "yyyy-MM-dd" of the day containing `date`.
    static QString dateKey(const QDateTime& date);
    // The calendar day containing `date`.
    static QDate calendarDay(const QDateTime& date);

    const QList<HolidayYear>& years() const { return m_years; }
    std::optional<QString> issue() const { return m_issue; }

    // "中国大陆 · 周一至周日 · 已载入 2026、2027"
    QString description() const;

    // Asks for a file and imports it; a failure becomes `issue`.
    void importCalendar();
    // Validates one year from JSON bytes, replaces any loaded entry of that year and
    // stores every year. Returns the failure, or nothing on success.
    std::optional<StorageError> importData(const QByteArray& data);

    // The week containing `date`, Monday to Sunday.
    WeeklyRestSummary summary(const QDateTime& date) const;

signals:
    void yearsChanged();
    void issueChanged();

private:
    std::optional<StorageError> importFile(const QString& path);
    void setIssue(const std::optional<QString>& issue);

    Preferences* m_preferences;
    std::shared_ptr<FolderChooser> m_chooser;
    QList<HolidayYear> m_years;
    std::optional<QString> m_issue;
    // A stored value that could not be read, kept aside before the first write replaces it.
    std::optional<QByteArray> m_unreadableStored;
};
