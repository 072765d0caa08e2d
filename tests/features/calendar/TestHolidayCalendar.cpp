#include "features/calendar/HolidayCalendar.h"
#include "features/calendar/WeeklyRestView.h"
#include "platform/preferences/Preferences.h"
#include "support/ScriptedChooser.h"
#include "support/TemporaryProfile.h"

#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>

namespace {

// Shanghai wall-clock time, in the machine's own zone as the system clock gives it.
QDateTime shanghai(const QString& text)
{
    const QDateTime moment = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss");
    return QDateTime(moment.date(), moment.time(), QTimeZone("Asia/Shanghai")).toLocalTime();
}

QByteArray yearFile(int year, const QString& source, const QList<QJsonObject>& days)
{
    QJsonArray array;
    for (const QJsonObject& day : days)
        array.append(day);
    return QJsonDocument(QJsonObject { { "year", year }, { "source", source }, { "days", array } }).toJson();
}

QJsonObject day(const QString& date, bool isOff, const QString& name = QStringLiteral("假日"))
{
    return { { "date", date }, { "isOff", isOff }, { "name", name } };
}

} // namespace

class TestHolidayCalendar : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::shared_ptr<ScriptedChooser> m_chooser;

    std::unique_ptr<HolidayCalendar> makeCalendar() const
    {
        return std::make_unique<HolidayCalendar>(m_profile->preferences(), m_chooser);
    }
private slots:
    void init()
    {
        m_profile = std::make_unique<TemporaryProfile>();
        m_chooser = std::make_shared<ScriptedChooser>();
    }
    void cleanup() { m_profile.reset(); }

    // Both registrations of this test must really run in their zone.
    void runsInTheZoneItWasStartedIn() { QCOMPARE(QTimeZone::systemTimeZoneId(), qgetenv("TZ")); }

    // Only zero-padded ASCII dates of real days, read as that day's start in Shanghai.
    void parse()
    {
        QCOMPARE(HolidayCalendar::parse("2026-02-15")->toUTC(),
            QDateTime(QDate(2026, 2, 15), QTime(0, 0), QTimeZone("Asia/Shanghai")).toUTC());
        for (const QString& text :
            { QString("2026-2-5"), QString("2026-02-30"), QString::fromUtf8("٢٠٢٦-٠٢-١٥") })
            QVERIFY2(!HolidayCalendar::parse(text), qPrintable(text));
    }

    // The sentence and each day's detail; a holiday's name is translated when the table knows it.
    void summary_data()
    {
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QByteArray>("imported");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("details");
        const QString work = "Workday|Workday|Workday|";
        QTest::newRow("Wednesday before Spring Festival")
            << shanghai("2026-02-11 12:00:00") << QByteArray() << "0000001"
            << "4 days until this week's first day off · 1 days off"
            << work + "Workday|Workday|Adjusted Workday|Spring Festival";
        // In Los Angeles this is still Sunday.
        QTest::newRow("first minute of the next week")
            << shanghai("2026-02-16 00:00:30") << QByteArray() << "1111111"
            << "Today is a day off · 7 days off this week"
            << QString("Spring Festival|").repeated(6) + "Spring Festival";
        QTest::newRow("after National Day")
            << shanghai("2026-10-08 12:00:00") << QByteArray() << "1110001"
            << "This week's first day off has passed · 4 days off"
            << "National Day|National Day|National Day|Workday|Workday|Adjusted Workday|Weekend";
        QTest::newRow("year not loaded") << shanghai("2027-03-10 12:00:00") << QByteArray() << "0000011"
                                         << "3 days until this week's first day off · 2 days off (estimated)"
                                         << work + "Workday|Workday|Weekend|Weekend";
        QTest::newRow("week across the new year, 2027 loaded")
            << shanghai("2026-12-30 12:00:00")
            << yearFile(2027, "test", { day("2027-01-01", true, "自定假日") }) << "0000111"
            << "2 days until this week's first day off · 3 days off"
            << work + "Workday|自定假日|Weekend|Weekend";
        QList<QJsonObject> workedWeek;
        for (int d = 7; d <= 13; ++d)
            workedWeek.append(day(QString("2030-01-%1").arg(d, 2, 10, QLatin1Char('0')), false, "补班"));
        QTest::newRow("only workday overrides")
            << shanghai("2030-01-09 12:00:00") << yearFile(2030, "test", workedWeek) << "0000000"
            << "No days off this week" << QString("Adjusted Workday|").repeated(6) + "Adjusted Workday";
    }

    void summary()
    {
        QFETCH(QDateTime, moment);
        QFETCH(QByteArray, imported);
        m_profile->setLanguage("en");
        auto calendar = makeCalendar();
        if (!imported.isEmpty())
            QVERIFY(!calendar->importData(imported));
        const WeeklyRestSummary summary = calendar->summary(moment);
        QString pattern;
        QStringList details;
        for (const WeekDayStatus& status : summary.days) {
            pattern += status.isOff ? u'1' : u'0';
            details << status.detail;
        }
        QTEST(pattern, "pattern");
        QTEST(summary.text(AppLanguage::english), "text");
        QTEST(details.join('|'), "details");
        // Monday first, starting at Shanghai midnight.
        const QDate today = QDateTime(moment).toTimeZone(QTimeZone("Asia/Shanghai")).date();
        QCOMPARE(summary.days.first().date.toUTC(),
            QDateTime(today.addDays(1 - today.dayOfWeek()), QTime(0, 0), QTimeZone("Asia/Shanghai")).toUTC());
    }

    // An unreadable stored value is kept aside; an imported year replaces the built-in one for good.
    void importReplacesAYearAndPersists()
    {
        const QByteArray unreadable = R"([{"year": 2027, "source": "x"}])";
        QVERIFY(m_profile->preferences()->setData("holidayYears", unreadable));
        {
            auto calendar = makeCalendar();
            QVERIFY(calendar->years().size() == 1 && !calendar->issue());
            const QDateTime before = QDateTime::currentDateTimeUtc();
            QVERIFY(!calendar->importData(yearFile(2027, "first", { day("2027-01-01", true, "元旦") })));
            QCOMPARE(m_profile->keptAside("holidayYears", before), std::optional<QByteArray>(unreadable));
            QVERIFY(!calendar->importData(yearFile(2026, "mine", { day("2026-03-03", true, "自定") })));
            QVERIFY(!calendar->importData(yearFile(2027, "second", { day("2027-01-02", true, "元旦") })));
            QVERIFY(!calendar->importData(yearFile(1999, "old", {})));
            QCOMPARE(
                calendar->summary(shanghai("2026-02-15 12:00:00")).days.at(6).detail, QString("周末休息"));
        }
        auto reopened = makeCalendar();
        QCOMPARE(reopened->years().size(), 3);
        QCOMPARE(reopened->years().at(0).days.size(), 1);
        QCOMPARE(reopened->years().at(1).source, QString("second"));
        m_profile->setLanguage("en");
        QCOMPARE(
            reopened->description(), QString("Mainland China · Monday–Sunday · Loaded: 1999、2026、2027"));
    }

    // Through the file chooser: the sentence for each refusal, which changes nothing.
    void importCalendar_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no such file, or a pipe
        QTest::addColumn<QString>("issue"); // empty: imported
        const auto year2027 = [](const QList<QJsonObject>& days) { return yearFile(2027, "gov", days); };
        QByteArray large = year2027({ day("2027-01-01", true) });
        large.append(QByteArray(2'000'000 - large.size(), ' '));
        const QString failed = "日历导入失败：";
        const QString invalid = failed + "日历年份、日期或来源不正确，或存在重复日期。";
        QTest::newRow("valid") << year2027({ day("2027-01-01", true), day("2027-02-07", false) }) << "";
        QList<QJsonObject> leapYear;
        for (QDate d(2028, 1, 1); d.year() == 2028; d = d.addDays(1))
            leapYear.append(day(d.toString("yyyy-MM-dd"), true));
        QTest::newRow("a whole leap year") << yearFile(2028, "gov", leapYear) << "";
        QTest::newRow("2,000,000 bytes") << large << failed + "日历文件过大。";
        QTest::newRow("year too early") << yearFile(1899, "gov", {}) << invalid;
        QTest::newRow("duplicate date")
            << year2027({ day("2027-01-01", true), day("2027-01-01", false) }) << invalid;
        QTest::newRow("date of another year") << year2027({ day("2026-12-31", true) }) << invalid;
        QTest::newRow("not JSON") << QByteArray("{\"year\": 2027,")
                                  << failed + "日历文件不是有效的 JSON（第 14 个字符处）。";
        QTest::newRow("isOff as text")
            << QByteArray(R"({"year": 2027, "source": "gov", "days": [)"
                          R"({"date": "2027-01-01", "isOff": "yes", "name": "x"}]})")
            << failed + "日历文件中的“days[0].isOff”缺失或类型不正确。";
        // A pipe would block the interface when opened.
        QTest::newRow("pipe") << QByteArray() << failed + "无法读取文件“a.json”。";
        QTest::newRow("gone") << QByteArray() << failed + "无法读取文件“a.json”。";
        QTest::newRow("chooser cancelled") << QByteArray() << "";
    }
    void importCalendar()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, issue);
        QString file = m_profile->path("a.json");
        if (!bytes.isEmpty())
            file = m_profile->writeFile("a.json", bytes);
        else if (QTest::currentDataTag() == QByteArray("pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        auto calendar = makeCalendar();
        if (QTest::currentDataTag() != QByteArray("chooser cancelled"))
            m_chooser->files = { file };
        calendar->importCalendar();
        QCOMPARE(m_chooser->titles.size(), 1);
        QCOMPARE(calendar->issue().value_or(QString()), issue);
        const bool imported = !bytes.isEmpty() && issue.isEmpty();
        QCOMPARE(calendar->years().size(), imported ? 2 : 1);
        QCOMPARE(m_profile->preferences()->contains("holidayYears"), imported);
    }
    // The line and popover follow the clock by the minute and an import at once.
    void followsTheClockAndImports()
    {
        auto calendar = makeCalendar();
        QDateTime now = shanghai("2026-02-11 12:00:00");
        QList<QUrl> opened;
        WeeklyRestView view(
            calendar.get(), nullptr, [&] { return now; },
            [&](const QUrl& url) {
                opened << url;
                return true;
            });
        view.show();
        auto* line = view.findChild<QToolButton*>("weeklyRestButton");
        QCOMPARE(line->text(), QString("距本周首休还有 4 天 · 休 1 天"));
        QTest::mouseClick(line, Qt::LeftButton);
        QFrame* popover = view.popover();
        QVERIFY(popover && popover->isVisible());
        const auto label = [&](int row, const char* name) {
            return popover->findChildren<QWidget*>("weeklyRestDayRow").at(row)->findChild<QLabel*>(name);
        };
        QCOMPARE(label(6, "weeklyRestDayWeekday")->text() + label(6, "weeklyRestDayDate")->text()
                + label(6, "weeklyRestDayDetail")->text(),
            QString("周日2月15日春节"));

        now = shanghai("2027-03-10 12:00:00");
        auto* timer = view.findChild<QTimer*>("weeklyRestRefreshTimer");
        QVERIFY(timer->isActive() && QMetaObject::invokeMethod(timer, "timeout"));
        QCOMPARE(line->text(), QString("距本周首休还有 3 天 · 休 2 天（估算）"));
        QCOMPARE(label(0, "weeklyRestDayDate")->text(), QString("3月8日"));
        QVERIFY(!calendar->importData(R"({"year": 2027, "source": "gov", "days": []})"));
        QCOMPARE(line->text(), QString("距本周首休还有 3 天 · 休 2 天"));

        QTest::mouseClick(popover->findChild<QToolButton*>("weeklyRestOfficialLink"), Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl> { QUrl(HolidayCalendar::officialNoticeURL()) });
        QVERIFY(!popover->isVisible());
    }
};

QTEST_MAIN(TestHolidayCalendar)
#include "TestHolidayCalendar.moc"
