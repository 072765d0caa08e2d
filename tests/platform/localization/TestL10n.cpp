#include "platform/localization/AppLanguage.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"

#include <QCryptographicHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(AppLanguage::Value)

namespace {

const QString languageKey = QStringLiteral("interfaceLanguage");

// Pins the system's preferred languages for the lifetime of the guard.
class PreferredLanguages {
public:
    explicit PreferredLanguages(const QStringList& languages)
    {
        AppLanguage::setPreferredLanguagesProvider([languages] { return languages; });
    }
    ~PreferredLanguages() { AppLanguage::setPreferredLanguagesProvider({}); }
};

} // namespace

class TestL10n : public QObject {
    Q_OBJECT

private slots:
    void tableHasEveryPairOnce();
    void tableContentIsUnchanged();
    void tableEntries_data();
    void tableEntries();
    void supplementIsDisjointFromTable();
    void render_data();
    void render();
    void renderFollowsSystemLanguagesAtEachCall();
    void rawValues_data();
    void rawValues();
    void resolved_data();
    void resolved();
    void current_data();
    void current();
    void currentWithoutStoreIsSystem();
    void trUsesStandardStore();
    void systemPreferredLanguagesDefaultsToLocale();
    void locale_data();
    void locale();
};

void TestL10n::tableHasEveryPairOnce()
{
    const auto& pairs = L10n::englishPairs();
    QCOMPARE(pairs.size(), 299);
    QSet<QString> keys;
    for (const auto& pair : pairs)
        keys.insert(pair.first);
    QCOMPARE(keys.size(), 299);
    QCOMPARE(L10n::english().size(), 299);
    for (const auto& [chinese, english] : pairs)
        QCOMPARE(L10n::english().value(chinese), english);
    // Order as listed: first, a middle one and last.
    QCOMPARE(pairs.first().first, QStringLiteral("笔记保存方式"));
    QCOMPARE(pairs.at(34).first, QStringLiteral("{0}{1} {2}"));
    QCOMPARE(pairs.last().first, QStringLiteral("📎 附件（可在上方打开或回放）"));
}

void TestL10n::tableContentIsUnchanged()
{
    // Guards against accidental edits of the generated table: the digest was computed once from
    // the verified extraction (see scripts/extract-l10n-table.py, which prints the same digest).
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const auto& [chinese, english] : L10n::englishPairs()) {
        hash.addData(chinese.toUtf8());
        hash.addData(QByteArrayView("\x1f"));
        hash.addData(english.toUtf8());
        hash.addData(QByteArrayView("\x1e"));
    }
    QCOMPARE(hash.result().toHex(),
        QByteArray("cf117279b555191980af9d1d89434083caa533b99ee0db709927a19478ad0d9f"));
}

void TestL10n::tableEntries_data()
{
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");
    QTest::newRow("leading space") << "（估算）"
                                   << " (estimated)";
    QTest::newRow("reminder suffix") << "（提醒：{0}）"
                                     << " (Reminder: {0})";
    QTest::newRow("recording section") << "\n\n## 录音 {0}\n\n![[{1}]]\n"
                                       << "\n\n## Recording {0}\n\n![[{1}]]\n";
    QTest::newRow("transcription section") << "\n\n### 录音转写（{0}）\n\n{1}\n"
                                           << "\n\n### Transcription ({0})\n\n{1}\n";
    QTest::newRow("tasks heading") << "# 待办事项\n\n"
                                   << "# Tasks\n\n";
    QTest::newRow("identity") << "{0}{1} {2}"
                              << "{0}{1} {2}";
    QTest::newRow("product name") << "退出Tandrel"
                                  << "Quit Tandrel";
    QTest::newRow("trailing space") << "录音 "
                                    << "Recording ";
    QTest::newRow("single character") << "中"
                                      << " Running";
    QTest::newRow("trailing colon") << "中国大陆 · 周一至周日 · 已载入 "
                                    << "Mainland China · Monday–Sunday · Loaded: ";
    QTest::newRow("curly quotes")
        << "将删除“{0}”及其笔记内容，无法撤销。本机附件和已导出的文件会保留。"
        << "“{0}” and its note content will be deleted. This cannot be undone. Local "
           "attachments and exported files will be kept.";
    QTest::newRow("inner line break")
        << "用 Markdown 记下灵感…\n录音停止后也会自动放在这里。"
        << "Capture ideas in Markdown…\nRecordings will appear here when stopped.";
    QTest::newRow("modifier symbols") << "请使用包含 ⌘、⌃ 或 ⌥ 的组合键，并避开常用编辑和系统快捷键。"
                                      << "Include ⌘, ⌃ or ⌥ and avoid standard editing and system shortcuts.";
    QTest::newRow("emoji") << "📎 附件（可在上方打开或回放）"
                           << "📎 Attachment (open or play above)";
    QTest::newRow("apostrophe") << "元旦"
                                << "New Year's Day";
}

void TestL10n::tableEntries()
{
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    QVERIFY(L10n::english().contains(chinese));
    QCOMPARE(L10n::english().value(chinese), english);
}

void TestL10n::supplementIsDisjointFromTable()
{
    QVERIFY(!L10n::supplement().isEmpty());
    for (auto it = L10n::supplement().cbegin(); it != L10n::supplement().cend(); ++it) {
        QVERIFY2(!L10n::english().contains(it.key()), qPrintable(it.key()));
        QVERIFY(!it.value().isEmpty());
    }
    const QString key = QStringLiteral("无法打开设置数据库 {0}，本次更改不会被保存。");
    QCOMPARE(L10n::render(key, { QStringLiteral("/tmp/p.sqlite") }, AppLanguage::english),
        QStringLiteral(
            "Could not open the settings database /tmp/p.sqlite. Changes will not be saved this time."));
    QCOMPARE(L10n::render(key, { QStringLiteral("/tmp/p.sqlite") }, AppLanguage::chinese),
        QStringLiteral("无法打开设置数据库 /tmp/p.sqlite，本次更改不会被保存。"));
}

void TestL10n::render_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<AppLanguage::Value>("language");
    QTest::addColumn<QString>("expected");

    const QStringList time { QStringLiteral("12:30") };
    QTest::newRow("chinese") << "录音 {0}" << time << AppLanguage::chinese << "录音 12:30";
    QTest::newRow("english") << "录音 {0}" << time << AppLanguage::english << "Recording 12:30";
    QTest::newRow("missing index stays")
        << "{0}{1} {2}" << QStringList { "a", "b" } << AppLanguage::english << "ab {2}";
    QTest::newRow("non-key in chinese")
        << "未知文本 {0}" << QStringList { "x" } << AppLanguage::chinese << "未知文本 x";
    QTest::newRow("non-key in english")
        << "未知文本 {0}" << QStringList { "x" } << AppLanguage::english << "未知文本 x";
    QTest::newRow("argument not rescanned")
        << "{0}-{1}" << QStringList { "{1}", "b" } << AppLanguage::english << "{1}-b";
    QTest::newRow("argument with own index")
        << "{0}" << QStringList { "{0}" } << AppLanguage::english << "{0}";
    QTest::newRow("leading zeros") << "[{01}|{001}]" << QStringList { "a", "b" } << AppLanguage::english
                                   << "[b|b]";
    QTest::newRow("repeated index") << "{0} and {0}" << QStringList { "x" } << AppLanguage::english
                                    << "x and x";
    QTest::newRow("overflow stays") << "{99999999999999999999}{0}" << QStringList { "a" }
                                    << AppLanguage::english << "{99999999999999999999}a";
    QTest::newRow("largest index beyond arguments")
        << "{9223372036854775807}" << QStringList { "a" } << AppLanguage::english << "{9223372036854775807}";
    QTest::newRow("no arguments") << "录音 {0}" << QStringList {} << AppLanguage::english << "Recording {0}";
    QTest::newRow("reverse order") << "{1} before {0}" << QStringList { "first", "second" }
                                   << AppLanguage::english << "second before first";
    QTest::newRow("longer and shorter arguments") << "{0}|{1}|{2}" << QStringList { "", "long argument", "c" }
                                                  << AppLanguage::english << "|long argument|c";
    QTest::newRow("not placeholders")
        << "{} {a} {-1} { 0} {０}" << QStringList { "x" } << AppLanguage::english << "{} {a} {-1} { 0} {０}";
    QTest::newRow("after surrogate pair")
        << "📎{0}😀{1}" << QStringList { "a", "b" } << AppLanguage::english << "📎a😀b";
    QTest::newRow("leading space kept")
        << "（提醒：{0}）" << QStringList { "9:00" } << AppLanguage::english << " (Reminder: 9:00)";
    QTest::newRow("markdown fragment") << "\n\n## 录音 {0}\n\n![[{1}]]\n"
                                       << QStringList { "10:00", "a.m4a" } << AppLanguage::english
                                       << "\n\n## Recording 10:00\n\n![[a.m4a]]\n";
}

void TestL10n::render()
{
    QFETCH(QString, text);
    QFETCH(QStringList, arguments);
    QFETCH(AppLanguage::Value, language);
    QFETCH(QString, expected);
    QCOMPARE(L10n::render(text, arguments, language), expected);
}

void TestL10n::renderFollowsSystemLanguagesAtEachCall()
{
    QStringList languages { QStringLiteral("zh-Hans-CN") };
    AppLanguage::setPreferredLanguagesProvider([&languages] { return languages; });
    const QStringList arguments { QStringLiteral("1") };
    QCOMPARE(
        L10n::render(QStringLiteral("笔记 {0}"), arguments, AppLanguage::system), QStringLiteral("笔记 1"));
    languages = { QStringLiteral("en-US") };
    QCOMPARE(
        L10n::render(QStringLiteral("笔记 {0}"), arguments, AppLanguage::system), QStringLiteral("Note 1"));
    AppLanguage::setPreferredLanguagesProvider({});
}

void TestL10n::rawValues_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<AppLanguage::Value>("language");
    QTest::addColumn<bool>("roundTrips");
    QTest::newRow("system") << "system" << AppLanguage::system << true;
    QTest::newRow("chinese") << "zh-Hans" << AppLanguage::chinese << true;
    QTest::newRow("english") << "en" << AppLanguage::english << true;
    QTest::newRow("case differs") << "ZH-hans" << AppLanguage::system << false;
    QTest::newRow("region") << "en-US" << AppLanguage::system << false;
}

void TestL10n::rawValues()
{
    QFETCH(QString, raw);
    QFETCH(AppLanguage::Value, language);
    QFETCH(bool, roundTrips);
    QCOMPARE(AppLanguage::fromRawValue(raw), language);
    QCOMPARE(AppLanguage(language).rawValue() == raw, roundTrips);
}

void TestL10n::resolved_data()
{
    QTest::addColumn<AppLanguage::Value>("language");
    QTest::addColumn<QStringList>("preferred");
    QTest::addColumn<AppLanguage::Value>("expected");
    QTest::newRow("traditional first")
        << AppLanguage::system << QStringList { "zh-Hant-TW", "en-US" } << AppLanguage::chinese;
    QTest::newRow("english first") << AppLanguage::system << QStringList { "en-GB", "zh-Hans" }
                                   << AppLanguage::english;
    QTest::newRow("empty") << AppLanguage::system << QStringList {} << AppLanguage::english;
    QTest::newRow("other first") << AppLanguage::system << QStringList { "fr-FR", "zh-Hans" }
                                 << AppLanguage::english;
    QTest::newRow("chinese ignores list")
        << AppLanguage::chinese << QStringList { "en-US" } << AppLanguage::chinese;
    QTest::newRow("english ignores list")
        << AppLanguage::english << QStringList { "zh-Hans-CN" } << AppLanguage::english;
}

void TestL10n::resolved()
{
    QFETCH(AppLanguage::Value, language);
    QFETCH(QStringList, preferred);
    QFETCH(AppLanguage::Value, expected);
    QCOMPARE(AppLanguage(language).resolved(preferred), expected);
    PreferredLanguages pinned(preferred);
    QCOMPARE(AppLanguage(language).resolved(), expected);
}

void TestL10n::current_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<AppLanguage::Value>("expected");
    QTest::newRow("fr") << "text"
                        << "fr" << AppLanguage::system;
    QTest::newRow("empty") << "text"
                           << "" << AppLanguage::system;
    QTest::newRow("EN") << "text"
                        << "EN" << AppLanguage::system;
    QTest::newRow("system") << "text"
                            << "system" << AppLanguage::system;
    QTest::newRow("zh-Hans") << "text"
                             << "zh-Hans" << AppLanguage::chinese;
    QTest::newRow("en") << "text"
                        << "en" << AppLanguage::english;
    QTest::newRow("missing") << "none"
                             << "" << AppLanguage::system;
    QTest::newRow("boolean") << "bool"
                             << "" << AppLanguage::system;
}

void TestL10n::current()
{
    QFETCH(QString, kind);
    QFETCH(QString, stored);
    QFETCH(AppLanguage::Value, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Preferences preferences(dir.filePath(QStringLiteral("preferences.sqlite")));
    if (kind == QLatin1String("text"))
        preferences.setString(languageKey, stored);
    else if (kind == QLatin1String("bool"))
        preferences.setBool(languageKey, true);
    QCOMPARE(AppLanguage::current(&preferences), expected);
}

void TestL10n::currentWithoutStoreIsSystem()
{
    QCOMPARE(AppLanguage::current(nullptr), AppLanguage::system);
}

void TestL10n::trUsesStandardStore()
{
    PreferredLanguages pinned({ QStringLiteral("zh-Hans-CN") });
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Preferences preferences(dir.filePath(QStringLiteral("preferences.sqlite")));
    Preferences* previous = Preferences::standard();
    Preferences::setStandard(&preferences);
    preferences.setString(languageKey, QStringLiteral("en"));
    const QString english = L10n::tr(QStringLiteral("录音 {0}"), { QStringLiteral("1") });
    const QLocale englishLocale = L10n::locale();
    preferences.setString(languageKey, QStringLiteral("system"));
    const QString followed = L10n::tr(QStringLiteral("录音 {0}"), { QStringLiteral("1") });
    Preferences::setStandard(nullptr);
    const QString withoutStore = L10n::tr(QStringLiteral("退出Tandrel"));
    Preferences::setStandard(previous);

    QCOMPARE(english, QStringLiteral("Recording 1"));
    QCOMPARE(englishLocale.language(), QLocale::English);
    QCOMPARE(followed, QStringLiteral("录音 1"));
    QCOMPARE(withoutStore, QStringLiteral("退出Tandrel"));
}

void TestL10n::systemPreferredLanguagesDefaultsToLocale()
{
    QCOMPARE(AppLanguage::systemPreferredLanguages(), QLocale::system().uiLanguages());
    PreferredLanguages pinned({ QStringLiteral("zh-Hant-TW") });
    QCOMPARE(AppLanguage::systemPreferredLanguages(), QStringList { QStringLiteral("zh-Hant-TW") });
}

void TestL10n::locale_data()
{
    QTest::addColumn<AppLanguage::Value>("language");
    QTest::addColumn<QStringList>("preferred");
    QTest::addColumn<QString>("name");
    QTest::newRow("chinese") << AppLanguage::chinese << QStringList { "en-US" } << "zh_CN";
    QTest::newRow("english") << AppLanguage::english << QStringList { "zh-Hans-CN" } << "en_US";
    QTest::newRow("system chinese") << AppLanguage::system << QStringList { "zh-Hant-HK" } << "zh_CN";
    QTest::newRow("system other") << AppLanguage::system << QStringList { "de-DE" } << "en_US";
}

void TestL10n::locale()
{
    QFETCH(AppLanguage::Value, language);
    QFETCH(QStringList, preferred);
    QFETCH(QString, name);
    PreferredLanguages pinned(preferred);
    const QLocale locale = L10n::locale(language);
    QCOMPARE(locale.name(), name);
    if (name == QLatin1String("zh_CN"))
        QCOMPARE(locale.script(), QLocale::SimplifiedChineseScript);
}

QTEST_GUILESS_MAIN(TestL10n)
#include "TestL10n.moc"
