#include "platform/localization/AppLanguage.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"
#include "support/TemporaryProfile.h"

#include <QScopeGuard>
#include <QTest>

Q_DECLARE_METATYPE(AppLanguage::Value)

namespace {
// Pins the system's preferred languages until the guard is gone.
auto preferLanguages(const QStringList& languages)
{
    AppLanguage::setPreferredLanguagesProvider([languages] { return languages; });
    return qScopeGuard([] { AppLanguage::setPreferredLanguagesProvider({}); });
}
} // namespace

// Rendering and the language setting; the texts on screen are the language sweep's (tests/workspace).
class TestL10n : public QObject {
    Q_OBJECT

private slots:
    void render_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("non-key, argument not rescanned, missing index stays")
            << "未知{0}-{1} {2}" << QStringList { "{1}", "b" } << "未知{1}-b {2}";
        QTest::newRow("leading zeros, overflow stays")
            << "[{01}|{001}]{99999999999999999999}{9223372036854775807}" << QStringList { "a", "b" }
            << "[b|b]{99999999999999999999}{9223372036854775807}";
        QTest::newRow("not placeholders, after surrogate pair")
            << "{} {a} {-1} { 0} {０}📎{0}😀{1}" << QStringList { "x", "y" } << "{} {a} {-1} { 0} {０}📎x😀y";
        QTest::newRow("leading space kept")
            << "（提醒：{0}）" << QStringList { "9:00" } << " (Reminder: 9:00)";
        QTest::newRow("supplement")
            << "无法打开设置数据库 {0}，本次更改不会被保存。" << QStringList { "/p" }
            << "Could not open the settings database /p. Changes will not be saved this time.";
    }
    void render()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, arguments);
        QTEST(L10n::render(text, arguments, AppLanguage::english), "expected");
    }

    // The stored setting, then for "system" the system's languages, which rendering asks
    // for at each call.
    void storedAndResolved_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<AppLanguage::Value>("setting");
        QTest::addColumn<QString>("locale"); // zh_CN when Chinese
        const auto system = AppLanguage::system;
        QTest::newRow("zh-Hans ignores list")
            << QVariant("zh-Hans") << QStringList { "en-US" } << AppLanguage::chinese << "zh_CN";
        QTest::newRow("en") << QVariant("en") << QStringList { "zh-Hans" } << AppLanguage::english << "en_US";
        QTest::newRow("case differs, traditional first")
            << QVariant("ZH-hans") << QStringList { "zh-Hant-TW", "en-US" } << system << "zh_CN";
        QTest::newRow("boolean, english first")
            << QVariant(true) << QStringList { "en-GB", "zh-Hans" } << system << "en_US";
        QTest::newRow("empty") << QVariant("system") << QStringList {} << system << "en_US";
        QTest::newRow("other first") << QVariant("system") << QStringList { "fr-FR", "zh" } << system
                                     << "en_US";
    }
    void storedAndResolved()
    {
        QFETCH(QVariant, stored);
        QFETCH(QStringList, preferred);
        QFETCH(AppLanguage::Value, setting);
        QFETCH(QString, locale);
        TemporaryProfile profile;
        Preferences* preferences = profile.preferences();
        QVERIFY(stored.typeId() == QMetaType::Bool
                ? preferences->setBool("interfaceLanguage", true)
                : preferences->setString("interfaceLanguage", stored.toString()));
        const auto pinned = preferLanguages(preferred);
        QCOMPARE(AppLanguage::current(preferences), setting);
        QCOMPARE(AppLanguage::fromRawValue(AppLanguage(setting).rawValue()), setting);
        const bool chinese = locale == "zh_CN";
        QCOMPARE(AppLanguage(setting).resolved(), chinese ? AppLanguage::chinese : AppLanguage::english);
        QCOMPARE(L10n::tr("笔记 {0}", { "1" }), QString(chinese ? "笔记 1" : "Note 1"));
        QCOMPARE(L10n::locale().name(), locale);
        QVERIFY(!chinese || L10n::locale().script() == QLocale::SimplifiedChineseScript);
    }

    // A change of the stored language is followed; a store that is gone is not read.
    void trFollowsTheStandardStore()
    {
        const auto pinned = preferLanguages({ QStringLiteral("zh-Hans-CN") });
        {
            TemporaryProfile profile("en");
            QCOMPARE(L10n::tr("录音 {0}", { "1" }), QStringLiteral("Recording 1"));
            profile.setLanguage("system");
            QCOMPARE(L10n::tr("录音 {0}", { "1" }), QStringLiteral("录音 1"));
        }
        QCOMPARE(L10n::tr("退出Tandrel"), QStringLiteral("退出Tandrel"));
    }
};

QTEST_GUILESS_MAIN(TestL10n)
#include "TestL10n.moc"
