#include "platform/preferences/Preferences.h"
#include "support/PrivateTmpfs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <cmath>
#include <csignal>
#include <limits>

namespace {

using Elements = QList<Preferences::ArrayElement>;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the killed process writes: 20 elements of 100 kB, the second one `second` throughout.
Elements largeArray(char second)
{
    Elements elements;
    for (int i = 0; i < 20; ++i)
        elements.append({ QString::number(i), QByteArray(100000, i == 1 ? second : char('a' + i % 26)) });
    return elements;
}

QByteArray joined(const Elements& elements)
{
    QByteArrayList forms;
    for (const auto& element : elements)
        forms << element.json;
    return "[" + forms.join(',') + "]";
}

// A process killed once its writes returned: 2 MB, then an array, then one element of it again.
int writeAndDie(const QString& path)
{
    Preferences p(path);
    if (p.setData("data", QByteArray(2 << 20, 0)) && p.setArray("array", largeArray('b'))
        && p.setArray("array", largeArray('!')) && p.startupIssue().isEmpty())
        std::raise(SIGKILL);
    return 1;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized); // sizes are multiples of four
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

bool store(Preferences& p, const QString& key, const QVariant& value)
{
    const int type = value.typeId();
    return type == QMetaType::Bool    ? p.setBool(key, value.toBool())
        : type == QMetaType::LongLong ? p.setInteger(key, value.toLongLong())
        : type == QMetaType::Double   ? p.setDouble(key, value.toDouble())
        : type == QMetaType::QString  ? p.setString(key, value.toString())
                                      : p.setData(key, value.toByteArray());
}

template <typename T> QVariant orInvalid(const std::optional<T>& value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}

// Same type and same value; doubles bit-exact except that any NaN matches NaN.
bool identical(const QVariant& a, const QVariant& b)
{
    const double x = a.toDouble(), y = b.toDouble();
    if (a.typeId() != QMetaType::Double || b.typeId() != QMetaType::Double)
        return a.typeId() == b.typeId() && a == b;
    return (std::isnan(x) && std::isnan(y)) || (x == y && std::signbit(x) == std::signbit(y));
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT

    QString dbPath() const { return m_dir->filePath("preferences.sqlite"); }
    std::optional<QTemporaryDir> m_dir;

private slots:
    void init() { QVERIFY(m_dir.emplace().isValid()); }

    void readRules_data()
    {
        QTest::addColumn<QVariant>("written");
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<QVariant>("asInteger");
        QTest::addColumn<QVariant>("asDouble");

        const QVariant none;
        const auto i = [](qint64 v) { return QVariant(v); };
        const qint64 largest = std::numeric_limits<qint64>::max();
        QTest::newRow("absent") << none << false << none << none;
        QTest::newRow("bool true") << QVariant(true) << true << i(1) << QVariant(1.0);
        QTest::newRow("largest integer")
            << i(largest) << false << i(largest) << QVariant(9.223372036854775807e18);
        QTest::newRow("negative double") << QVariant(-2.75) << false << i(-2) << QVariant(-2.75);
        QTest::newRow("negative zero") << QVariant(-0.0) << false << i(0) << QVariant(-0.0);
        QTest::newRow("NaN") << QVariant(std::nan("")) << false << none << QVariant(std::nan(""));
        QTest::newRow("numeric unicode text with NUL")
            << QVariant(QString::fromUtf8("42随手记 😀\0b\0", 19)) << false << none << none;
        QTest::newRow("empty data") << QVariant(QByteArray("")) << false << none << none;
        QTest::newRow("2 MB binary data")
            << QVariant(randomBytes(2 * 1024 * 1024, 7) + QByteArray(16, '\0')) << false << none << none;
    }

    // Under the empty key, the easiest one to bind wrongly.
    void readRules()
    {
        QFETCH(QVariant, written);
        QFETCH(bool, asBool);
        QFETCH(QVariant, asInteger);
        QFETCH(QVariant, asDouble);
        using Kind = Preferences::Kind;
        const QHash<int, Kind> kinds { { QMetaType::QString, Kind::Text },
            { QMetaType::QByteArray, Kind::Data }, { QMetaType::Bool, Kind::Bool },
            { QMetaType::Double, Kind::Double }, { QMetaType::LongLong, Kind::Integer } };
        const int type = written.typeId();
        const bool text = type == QMetaType::QString, data = type == QMetaType::QByteArray;
        {
            Preferences writer(dbPath());
            QVERIFY(writer.setString("neighbour", "untouched"));
            QVERIFY(!written.isValid() || store(writer, QString(), written));
        }
        Preferences p(dbPath());
        QCOMPARE(p.contains(QString()), written.isValid());
        QCOMPARE(p.boolValue(QString()), asBool);
        QVERIFY(identical(orInvalid(p.integer(QString())), asInteger));
        QVERIFY(identical(orInvalid(p.doubleValue(QString())), asDouble));
        QCOMPARE(orInvalid(p.string(QString())), text ? written : QVariant());
        QCOMPARE(orInvalid(p.data(QString())), data ? written : QVariant());
        QVERIFY(identical(p.object(QString()).value_or(QVariant()), written));
        QCOMPARE(p.kind(QString()), written.isValid() ? std::optional(kinds.value(type)) : std::nullopt);
        QCOMPARE(p.string("neighbour"), QString("untouched"));
    }

    // Another connection sees the new value from inside the signal: it has committed.
    void removalAndSignals()
    {
        Preferences p(dbPath());
        Preferences observer(dbPath());
        QSignalSpy spy(&p, &Preferences::changed);
        QList<std::optional<qint64>> seenInside;
        connect(&p, &Preferences::changed, this,
            [&](const QString& key) { seenInside << observer.integer(key); });
        QVERIFY(
            p.setInteger("focusDuration", 1500) && p.remove("focusDuration") && p.remove("focusDuration"));
        QCOMPARE(seenInside, (QList<std::optional<qint64>> { 1500, std::nullopt }));
        QVERIFY(p.setString("speechLanguage", "en-US")
            && p.setString("speechLanguage", std::optional<QString>()));
        QVERIFY(!observer.contains("speechLanguage"));
        QCOMPARE(spy.last().at(0).toString(), QString("speechLanguage"));
    }

    void writeThatReturnedSurvivesKill()
    {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), { "--write-and-die", dbPath() });
        QVERIFY(writer.waitForFinished(60000) && writer.exitStatus() == QProcess::CrashExit);
        Preferences p(dbPath());
        QCOMPARE(p.startupIssue(), QString());
        QCOMPARE(p.data("data"), QByteArray(2 << 20, 0));
        QCOMPARE(p.data("array"), joined(largeArray('!')));
    }

    // A bad page, then garbage with its log: each set aside under a new name.
    void damagedFile()
    {
        QVERIFY(Preferences(dbPath()).setData("tasks", randomBytes(20000, 5)));
        const QByteArray damagedPage = readFile(dbPath()).replace(4096, 4096, randomBytes(4096, 3));
        QStringList asides;
        for (const auto& [original, log] : { std::pair(damagedPage, QByteArray()),
                 std::pair(randomBytes(4096, 11), randomBytes(4096, 12)) }) {
            QVERIFY(writeFile(dbPath(), original) && (log.isEmpty() || writeFile(dbPath() + "-wal", log)));
            {
                Preferences p(dbPath());
                asides << p.setAsidePath();
                QVERIFY2(asides.last().startsWith(dbPath() + ".damaged-"), qPrintable(asides.last()));
                QVERIFY(p.startupIssue().contains(asides.last()));
                QVERIFY(!p.contains("tasks") && p.setString("greeting", "after the damage"));
            }
            Preferences reopened(dbPath());
            QCOMPARE(reopened.startupIssue(), QString());
            QCOMPARE(reopened.string("greeting"), QString("after the damage"));
            QCOMPARE(readFile(asides.last()), original);
            QCOMPARE(readFile(asides.last() + "-wal"), log);
        }
        QVERIFY(asides[0] != asides[1]);
        QCOMPARE(readFile(asides[0]), damagedPage);
    }

    // Below a file (no folder can be made there, even by root) or a folder: values kept for this run.
    void unusableLocation()
    {
        QVERIFY(writeFile(m_dir->filePath("blocker"), "not a folder"));
        QVERIFY(QDir(m_dir->path()).mkdir("blocker-folder"));
        for (const QString& path :
            { m_dir->filePath("blocker/preferences.sqlite"), m_dir->filePath("blocker-folder") }) {
            Preferences p(path);
            QVERIFY2(p.startupIssue().contains(path) && p.setAsidePath().isEmpty(), qPrintable(path));
            QSignalSpy spy(&p, &Preferences::changed);
            QVERIFY(p.setInteger("focusDuration", 60));
            QCOMPARE(p.integer("focusDuration"), std::optional<qint64>(60));
            QCOMPARE(spy.count(), 1);
        }
        QCOMPARE(readFile(m_dir->filePath("blocker")), QByteArray("not a folder"));
        QVERIFY(QFileInfo(m_dir->filePath("blocker-folder")).isDir());
    }

    void failedWriteKeepsPreviousValue_data()
    {
        QTest::addColumn<bool>("asArray");
        QTest::newRow("data") << false;
        QTest::newRow("array") << true;
    }

    // On a full disk: the write says it failed and the old value stays; once there is room
    // again, a failed value is written again (an array is written again by its caller).
    void failedWriteKeepsPreviousValue()
    {
        RUN_IN_PRIVATE_TMPFS();
        QFETCH(bool, asArray);
        const QString path = PrivateTmpfs::folder() + "/preferences.sqlite";
        const auto write = [&](Preferences& p, const QByteArray& bytes) {
            return asArray ? p.setArray("notePages", { { "a", "1" }, { "b", bytes } })
                           : p.setData("notePages", bytes);
        };
        const QByteArray stored = asArray ? "[1,\"small\"]" : "\"small\"";
        Preferences p(path);
        QVERIFY(write(p, "\"small\""));
        QSignalSpy spy(&p, &Preferences::changed);
        QSignalSpy failed(&p, &Preferences::writeFailed);
        QVERIFY(PrivateTmpfs::fill());
        const QByteArray large(100000, 'x');
        QVERIFY(!write(p, large) && !p.lastWriteSucceeded());
        QCOMPARE(std::pair(spy.count(), failed.count()), (std::pair<qsizetype, qsizetype>(0, 1)));
        QCOMPARE(p.data("notePages"), stored);
        QVERIFY(PrivateTmpfs::release());
        QCOMPARE(Preferences(path).data("notePages"), stored);
        QCOMPARE(p.hasFailedWrites(), !asArray);
        QVERIFY(p.retryFailedWrites() && !p.hasFailedWrites());
        QCOMPARE(Preferences(path).data("notePages"), asArray ? stored : large);
        QVERIFY(write(p, "\"recovered\""));
        QCOMPARE(spy.count(), asArray ? 1 : 2);
        QVERIFY(Preferences(path).data("notePages")->contains("recovered"));
    }

    // Arrays read back whole whatever was written before or after, in this run or the next.
    void arrays()
    {
        Elements elements { { "a", QByteArray(300, 'x') }, { "b", "{}" }, { "c", "" } };
        {
            Preferences p(dbPath());
            QVERIFY(p.setArray("pages", {}));
            QCOMPARE(p.data("pages"), QByteArray("[]"));
            QVERIFY(p.setArray("pages", elements));
            QCOMPARE(p.object("pages")->toByteArray(), joined(elements));
            QCOMPARE(p.kind("pages"), Preferences::Kind::Data);
            elements.move(0, 2);
            elements[0].json = "[1]";
            elements.removeAt(1);
            elements.append(Preferences::ArrayElement { "d", "4" });
            QVERIFY(p.setArray("pages", elements));
            QCOMPARE(p.data("pages"), joined(elements));
            // Ids that cannot name rows: the array is stored whole, and reads the same.
            QVERIFY(p.setArray("twice", { { "x", "1" }, { "x", "2" }, { "", "3" } }));
            QCOMPARE(p.data("twice"), QByteArray("[1,2,3]"));
        }
        {
            // One element rewritten by a store that did not write the rest.
            Preferences p(dbPath());
            elements[1].json = "\"typed\"";
            QVERIFY(p.setArray("pages", elements) && p.setArray("other", { { "o", "0" } }));
        }
        {
            Preferences p(dbPath());
            QCOMPARE(p.data("pages"), joined(elements));
            QVERIFY(p.setInteger("pages", 7) && p.integer("pages") == 7);
            QVERIFY(p.setArray("pages", elements) && p.setData("pages", "plain"));
            QCOMPARE(p.data("pages"), QByteArray("plain"));
            QVERIFY(p.setArray("pages", elements) && p.remove("pages") && !p.contains("pages"));
            QCOMPARE(p.data("other"), QByteArray("[0]"));
        }
    }

    // Earlier versions kept large values as parts (a row listing part ids, kind 5).
    void valuesKeptAsPartsAreMigrated()
    {
        {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(dbPath()).constData(), &db), SQLITE_OK);
            QByteArray manifest;
            for (qint64 id : { 7, 3, 9 })
                manifest.append(reinterpret_cast<const char*>(&id), sizeof id);
            const QByteArray sql
                = "PRAGMA journal_mode=WAL;"
                  "CREATE TABLE prefs(key TEXT PRIMARY KEY NOT NULL, kind INTEGER NOT NULL, value);"
                  "CREATE TABLE parts(id INTEGER PRIMARY KEY, owner TEXT NOT NULL, bytes BLOB NOT NULL);"
                  "INSERT INTO parts VALUES(7, 'notePages', '[{\"a\":1}'), (3, 'notePages', ','),"
                  "(9, 'notePages', '{\"b\":2}]');"
                  "INSERT INTO prefs VALUES('tasks', 4, CAST('[]' AS BLOB)), ('empty', 5, x''),"
                  "('notePages', 5, x'"
                + manifest.toHex() + "');";
            QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        for (int run = 0; run < 2; ++run) {
            Preferences p(dbPath());
            QCOMPARE(p.startupIssue(), QString());
            QCOMPARE(p.data("notePages"), QByteArray(R"([{"a":1},{"b":2}])"));
            QCOMPARE(p.data("empty"), QByteArray(""));
            QCOMPARE(p.data("tasks"), QByteArray("[]"));
        }
    }

    void standardStore()
    {
        QCoreApplication::setApplicationName("Tandrel");
        QCOMPARE(Preferences::standardDatabasePath(),
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                + "/Tandrel/preferences.sqlite");
        Preferences::setStandard(&*std::make_unique<Preferences>(dbPath()));
        // A destroyed store is never handed out.
        QCOMPARE(Preferences::standard(), nullptr);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--write-and-die")
        return writeAndDie(QString::fromLocal8Bit(argv[2]));
    TestPreferences test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestPreferences.moc"
