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
    void supplementIsRendered()
    {
        QCOMPARE(L10n::render(QStringLiteral("无法打开设置数据库 {0}，本次更改不会被保存。"), { "/p" },
                     AppLanguage::english),
            QStringLiteral("Could not open the settings database /p. Changes will not be saved this time."));
    }

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
    }
    void render()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QCOMPARE(L10n::render(text, arguments, AppLanguage::english), expected);
    }

    void storedSetting_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<AppLanguage::Value>("expected");
        QTest::newRow("zh-Hans") << QVariant("zh-Hans") << AppLanguage::chinese;
        QTest::newRow("en") << QVariant("en") << AppLanguage::english;
        QTest::newRow("case differs") << QVariant("ZH-hans") << AppLanguage::system;
        QTest::newRow("boolean") << QVariant(true) << AppLanguage::system;
    }
    void storedSetting()
    {
        QFETCH(QVariant, stored);
        QFETCH(AppLanguage::Value, expected);
        TemporaryProfile profile;
        Preferences* preferences = profile.preferences();
        QVERIFY(stored.typeId() == QMetaType::Bool
                ? preferences->setBool("interfaceLanguage", true)
                : preferences->setString("interfaceLanguage", stored.toString()));
        QCOMPARE(AppLanguage::current(preferences), expected);
        QCOMPARE(AppLanguage::fromRawValue(AppLanguage(expected).rawValue()), expected);
    }

    void resolvedAndLocale_data()
    {
        QTest::addColumn<AppLanguage::Value>("language");
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<AppLanguage::Value>("expected");
        QTest::addColumn<QString>("locale");
        const auto system = AppLanguage::system;
        QTest::newRow("traditional first")
            << system << QStringList { "zh-Hant-TW", "en-US" } << AppLanguage::chinese << "zh_CN";
        QTest::newRow("english first")
            << system << QStringList { "en-GB", "zh-Hans" } << AppLanguage::english << "en_US";
        QTest::newRow("empty") << system << QStringList {} << AppLanguage::english << "en_US";
        QTest::newRow("other first") << system << QStringList { "fr-FR", "zh" } << AppLanguage::english
                                     << "en_US";
        QTest::newRow("chinese ignores list")
            << AppLanguage::chinese << QStringList { "en-US" } << AppLanguage::chinese << "zh_CN";
    }
    void resolvedAndLocale()
    {
        QFETCH(AppLanguage::Value, language);
        QFETCH(QStringList, preferred);
        QFETCH(AppLanguage::Value, expected);
        QFETCH(QString, locale);
        // Rendering asks for the system's languages at each call.
        const auto pinned = preferLanguages(preferred);
        QCOMPARE(AppLanguage(language).resolved(), expected);
        QCOMPARE(L10n::render("笔记 {0}", { "1" }, language),
            QString(expected == AppLanguage::chinese ? "笔记 1" : "Note 1"));
        QCOMPARE(L10n::locale(language).name(), locale);
        if (expected == AppLanguage::chinese)
            QCOMPARE(L10n::locale(language).script(), QLocale::SimplifiedChineseScript);
    }

    void trUsesTheStandardStore()
    {
        const auto pinned = preferLanguages({ QStringLiteral("zh-Hans-CN") });
        {
            TemporaryProfile profile("en");
            QCOMPARE(L10n::tr("录音 {0}", { "1" }), QStringLiteral("Recording 1"));
            QCOMPARE(L10n::locale().language(), QLocale::English);
            profile.setLanguage("system");
            QCOMPARE(L10n::tr("录音 {0}", { "1" }), QStringLiteral("录音 1"));
        }
        QCOMPARE(L10n::tr("退出Tandrel"), QStringLiteral("退出Tandrel"));
    }
};

QTEST_GUILESS_MAIN(TestL10n)
#include "TestL10n.moc"
