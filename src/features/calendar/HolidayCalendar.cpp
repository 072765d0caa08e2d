#include "HolidayCalendar.h"

#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"
#include "platform/storage/FolderChooser.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <array>

namespace {

const QString kHolidayYears = QStringLiteral("holidayYears");
const QString kKeyFormat = QStringLiteral("yyyy-MM-dd");

StorageError invalidCalendar()
{
    return StorageError { L10n::tr("日历年份、日期或来源不正确，或存在重复日期。") };
}

bool isValid(const HolidayYear& year)
{
    if (year.year < 1900 || year.year > 2200 || year.source.isEmpty() || year.days.size() > 366)
        return false;
    QSet<QString> seen;
    for (const HolidayOverride& day : year.days) {
        if (seen.contains(day.date))
            return false;
        seen.insert(day.date);
        const auto date = HolidayCalendar::parse(day.date);
        if (!date || HolidayCalendar::calendarDay(*date).year() != year.year)
            return false;
    }
    return true;
}

} // namespace

HolidayCalendar::HolidayCalendar(
    Preferences* preferences, std::shared_ptr<FolderChooser> chooser, QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_chooser(chooser ? std::move(chooser) : std::make_shared<DialogFolderChooser>())
{
    m_years = { builtInYear() };
    const auto data = m_preferences->data(kHolidayYears);
    if (!data)
        return;
    const auto stored = HolidayYears::decodeList(*data);
    if (!stored) {
        m_unreadableStored = *data;
        return;
    }
    for (const HolidayYear& year : *stored) {
        m_years.removeIf([&](const HolidayYear& loaded) { return loaded.year == year.year; });
        m_years.append(year);
    }
}

HolidayCalendar::HolidayCalendar(Preferences* preferences, QObject* parent)
    : HolidayCalendar(preferences, std::shared_ptr<FolderChooser>(), parent)
{
}

HolidayCalendar::~HolidayCalendar() = default;

QString HolidayCalendar::officialNoticeURL()
{
    return QStringLiteral("https://www.gov.cn/zhengce/");
}

HolidayYear HolidayCalendar::builtInYear()
{
    struct Range {
        const char* first;
        const char* last;
        const char* name;
    };
    static const std::array<Range, 7> ranges { {
        { "01-01", "01-03", "元旦" },
        { "02-15", "02-23", "春节" },
        { "04-04", "04-06", "清明节" },
        { "05-01", "05-05", "劳动节" },
        { "06-19", "06-21", "端午节" },
        { "09-25", "09-27", "中秋节" },
        { "10-01", "10-07", "国庆节" },
    } };
    static const std::array<const char*, 6> workdays { "2026-01-04", "2026-02-14", "2026-02-28", "2026-05-09",
        "2026-09-20", "2026-10-10" };

    HolidayYear year { .year = 2026, .source = officialNoticeURL() };
    for (const Range& range : ranges) {
        const auto first = parse(QStringLiteral("2026-") + QLatin1String(range.first));
        const auto last = parse(QStringLiteral("2026-") + QLatin1String(range.last));
        if (!first || !last)
            continue;
        for (QDateTime day = *first; day <= *last; day = day.addDays(1))
            year.days.append({ dateKey(day), true, QString::fromUtf8(range.name) });
    }
    for (const char* workday : workdays)
        year.days.append({ QString::fromLatin1(workday), false, QStringLiteral("调休上班") });
    return year;
}

QTimeZone HolidayCalendar::timeZone()
{
    // China has kept UTC+8 without daylight saving since 1991; the fixed offset stands in
    // should the system lack its time-zone database.
    static const QTimeZone zone = [] {
        QTimeZone shanghai(QByteArrayLiteral("Asia/Shanghai"));
        return shanghai.isValid() ? shanghai : QTimeZone(8 * 3600);
    }();
    return zone;
}

std::optional<QDateTime> HolidayCalendar::parse(const QString& text)
{
    const QDate date = QDate::fromString(text, kKeyFormat);
    if (!date.isValid())
        return std::nullopt;
    const QDateTime start = date.startOfDay(timeZone());
    // The round trip rejects what the parser tolerated: single digits, spaces, other digits.
    if (!start.isValid() || dateKey(start) != text)
        return std::nullopt;
    return start;
}

QString HolidayCalendar::dateKey(const QDateTime& date)
{
    const QDate day = calendarDay(date);
    if (!day.isValid())
        return QString();
    return QStringLiteral("%1-%2-%3")
        .arg(day.year(), 4, 10, QLatin1Char('0'))
        .arg(day.month(), 2, 10, QLatin1Char('0'))
        .arg(day.day(), 2, 10, QLatin1Char('0'));
}

QDate HolidayCalendar::calendarDay(const QDateTime& date)
{
    if (!date.isValid())
        return QDate();
    return date.toTimeZone(timeZone()).date();
}

QString HolidayCalendar::description() const
{
    QStringList numbers;
    for (const HolidayYear& year : m_years)
        numbers.append(QString::number(year.year));
    numbers.sort();
    return L10n::tr("中国大陆 · 周一至周日 · 已载入 ") + numbers.join(QStringLiteral("、"));
}

void HolidayCalendar::importCalendar()
{
    const auto path = m_chooser->chooseFile(L10n::tr("导入年度节假日 JSON"), QStringLiteral("JSON (*.json)"));
    if (!path || path->isEmpty())
        return;
    if (const auto error = importFile(*path))
        setIssue(L10n::tr("日历导入失败：{0}", { error->text() }));
    else
        setIssue(std::nullopt);
}

std::optional<StorageError> HolidayCalendar::importFile(const QString& path)
{
    const StorageError tooLarge { L10n::tr("日历文件过大。") };
    const StorageError unreadable { L10n::tr("无法读取文件“{0}”。", { QFileInfo(path).fileName() }) };
    const QFileInfo info(path);
    if (info.exists() && info.size() >= maximumFileSize)
        return tooLarge;
    // Only regular files: a device or pipe could block the interface or never end.
    if (!info.isFile())
        return unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable;
    // Never more than the limit, even when the file grew after its size was read.
    const QByteArray data = file.read(maximumFileSize);
    if (file.error() != QFileDevice::NoError)
        return unreadable;
    if (data.size() >= maximumFileSize)
        return tooLarge;
    return importData(data);
}

std::optional<StorageError> HolidayCalendar::importData(const QByteArray& data)
{
    const auto decoded = HolidayYears::decode(data);
    if (!decoded)
        return decoded.error();
    const HolidayYear& year = decoded.value();
    if (!isValid(year))
        return invalidCalendar();

    m_years.removeIf([&](const HolidayYear& loaded) { return loaded.year == year.year; });
    m_years.append(year);
    emit yearsChanged();

    const StorageError notSaved { L10n::tr("无法保存日历，下次启动时需要重新导入。") };
    if (m_unreadableStored) {
        // What could not be read at start is kept under another key rather than overwritten.
        const QString backupKey = kHolidayYears + QStringLiteral(".unreadable-")
            + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!m_preferences->setData(backupKey, *m_unreadableStored))
            return notSaved;
        m_unreadableStored.reset();
    }
    if (!m_preferences->setData(kHolidayYears, HolidayYears::encode(m_years)))
        return notSaved;
    return std::nullopt;
}

WeeklyRestSummary HolidayCalendar::summary(const QDateTime& date) const
{
    static const std::array<const char*, 7> labels { "周一", "周二", "周三", "周四", "周五", "周六", "周日" };

    WeeklyRestSummary summary;
    const QDate today = calendarDay(date);
    if (!today.isValid())
        return summary;
    // Qt numbers Monday 1 to Sunday 7, so a Sunday belongs to the week begun six days before.
    const QDate monday = today.addDays(1 - today.dayOfWeek());
    std::optional<QDate> firstOff;
    for (int i = 0; i < 7; ++i) {
        const QDate day = monday.addDays(i);
        const QDateTime start = day.startOfDay(timeZone());
        const QString key = dateKey(start);
        std::optional<HolidayOverride> dayOverride;
        const auto year = std::find_if(m_years.cbegin(), m_years.cend(),
            [&](const HolidayYear& loaded) { return loaded.year == day.year(); });
        if (year == m_years.cend()) {
            summary.isEstimated = true;
        } else {
            const auto found = std::find_if(year->days.cbegin(), year->days.cend(),
                [&](const HolidayOverride& entry) { return entry.date == key; });
            if (found != year->days.cend())
                dayOverride = *found;
        }
        const bool weekend = day.dayOfWeek() >= 6;

        WeekDayStatus status { .date = start, .weekday = L10n::tr(QString::fromUtf8(labels.at(i))) };
        if (dayOverride && dayOverride->isOff) {
            status.isOff = true;
            status.detail = L10n::tr(dayOverride->name);
        } else if (dayOverride) {
            status.detail = L10n::tr("调休上班");
        } else if (weekend) {
            status.isOff = true;
            status.detail = L10n::tr("周末休息");
        } else {
            status.detail = L10n::tr("工作日");
        }
        if (status.isOff) {
            ++summary.restCount;
            if (!firstOff)
                firstOff = day;
        }
        if (day == today)
            summary.todayIsOff = status.isOff;
        summary.days.append(status);
    }
    if (firstOff)
        summary.daysUntilFirstRest = int(today.daysTo(*firstOff));
    return summary;
}

void HolidayCalendar::setIssue(const std::optional<QString>& issue)
{
    if (issue == m_issue)
        return;
    m_issue = issue;
    emit issueChanged();
}
