#include "platform/preferences/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
#include <sys/resource.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

bool store(Preferences& preferences, const QString& key, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return preferences.setBool(key, value.toBool());
    case QMetaType::LongLong:
        return preferences.setInteger(key, value.toLongLong());
    case QMetaType::Double:
        return preferences.setDouble(key, value.toDouble());
    case QMetaType::QString:
        return preferences.setString(key, value.toString());
    case QMetaType::QByteArray:
        return preferences.setData(key, value.toByteArray());
    }
    return false;
}

std::optional<Preferences::Kind> kindOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return Preferences::Kind::Bool;
    case QMetaType::LongLong:
        return Preferences::Kind::Integer;
    case QMetaType::Double:
        return Preferences::Kind::Double;
    case QMetaType::QString:
        return Preferences::Kind::Text;
    case QMetaType::QByteArray:
        return Preferences::Kind::Data;
    }
    return std::nullopt;
}

template <typename T> QVariant orInvalid(const std::optional<T>& value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}

// Same type and same value; doubles bit-exact except that any NaN matches NaN.
bool identical(const QVariant& a, const QVariant& b)
{
    if (a.typeId() != b.typeId())
        return false;
    if (a.typeId() == QMetaType::Double) {
        const double x = a.toDouble(), y = b.toDouble();
        return (std::isnan(x) && std::isnan(y)) || (x == y && std::signbit(x) == std::signbit(y));
    }
    return a == b;
}

// A real database holding a few keys, as bytes, to damage in the tests.
QByteArray realDatabase()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("source.sqlite");
    {
        Preferences preferences(path);
        preferences.setString("greeting", "hello");
        preferences.setData("tasks", randomBytes(20000, 5));
    }
    return readFile(path);
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.emplace().isValid()); }

    void readRules_data();
    void readRules();
    void removalAndSignals();
    void exactRoundTrip_data();
    void exactRoundTrip();
    void writeThatReturnedSurvivesKill();
    void damagedFile_data();
    void damagedFile();
    void secondDamageKeepsFirstCopy();
    void unusableLocation_data();
    void unusableLocation();
    void failedWriteKeepsPreviousValue_data();
    void failedWriteKeepsPreviousValue();
    void arrays();
    void valuesKeptAsPartsAreMigrated();
    void standardStore();

private:
    QString dbPath() const { return m_dir->filePath("preferences.sqlite"); }
    std::optional<QTemporaryDir> m_dir;
};

void TestPreferences::readRules_data()
{
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<bool>("asBool");
    QTest::addColumn<QVariant>("asInteger");
    QTest::addColumn<QVariant>("asDouble");
    QTest::addColumn<QVariant>("asString");
    QTest::addColumn<QVariant>("asData");

    const QVariant none;
    const auto i = [](qint64 v) { return QVariant(v); };
    QTest::newRow("absent") << none << false << none << none << none << none;
    QTest::newRow("bool true") << QVariant(true) << true << i(1) << QVariant(1.0) << none << none;
    QTest::newRow("bool false") << QVariant(false) << false << i(0) << QVariant(0.0) << none << none;
    QTest::newRow("integer") << i(1500) << false << i(1500) << QVariant(1500.0) << none << none;
    QTest::newRow("integer zero") << i(0) << false << i(0) << QVariant(0.0) << none << none;
    QTest::newRow("negative integer") << i(-5) << false << i(-5) << QVariant(-5.0) << none << none;
    QTest::newRow("largest integer") << i(std::numeric_limits<qint64>::max()) << false
                                     << i(std::numeric_limits<qint64>::max())
                                     << QVariant(9.223372036854775807e18) << none << none;
    QTest::newRow("double") << QVariant(2.75) << false << i(2) << QVariant(2.75) << none << none;
    QTest::newRow("negative double") << QVariant(-2.75) << false << i(-2) << QVariant(-2.75) << none << none;
    QTest::newRow("huge double") << QVariant(1e300) << false << none << QVariant(1e300) << none << none;
    QTest::newRow("NaN") << QVariant(std::nan("")) << false << none << QVariant(std::nan("")) << none << none;
    QTest::newRow("numeric text") << QVariant("42") << false << none << none << QVariant("42") << none;
    QTest::newRow("empty text") << QVariant("") << false << none << none << QVariant("") << none;
    QTest::newRow("data") << QVariant(QByteArray("1")) << false << none << none << none
                          << QVariant(QByteArray("1"));
    QTest::newRow("empty data") << QVariant(QByteArray("")) << false << none << none << none
                                << QVariant(QByteArray(""));
}

void TestPreferences::readRules()
{
    QFETCH(QVariant, written);
    QFETCH(bool, asBool);
    QFETCH(QVariant, asInteger);
    QFETCH(QVariant, asDouble);
    QFETCH(QVariant, asString);
    QFETCH(QVariant, asData);

    std::optional<Preferences> p(std::in_place, dbPath());
    p->setString("neighbour", "untouched");
    if (written.isValid())
        QVERIFY(store(*p, "value", written));
    // The writing store, then a new one reading the file after the first has closed.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            p.emplace(dbPath());
        QCOMPARE(p->contains("value"), written.isValid());
        QCOMPARE(p->kind("value"), kindOf(written));
        QCOMPARE(p->boolValue("value"), asBool);
        QVERIFY(identical(orInvalid(p->integer("value")), asInteger));
        QVERIFY(identical(orInvalid(p->doubleValue("value")), asDouble));
        QCOMPARE(orInvalid(p->string("value")), asString);
        QCOMPARE(orInvalid(p->data("value")), asData);
        QVERIFY(identical(p->object("value").value_or(QVariant()), written));
        QCOMPARE(p->string("neighbour"), QString("untouched"));
    }
}

void TestPreferences::removalAndSignals()
{
    Preferences p(dbPath());
    Preferences observer(dbPath());
    QSignalSpy spy(&p, &Preferences::changed);
    // Another connection sees the new value from inside the signal: it has committed.
    QList<std::optional<qint64>> seenInside;
    connect(&p, &Preferences::changed, this, [&](const QString& key) { seenInside << observer.integer(key); });

    QVERIFY(p.setInteger("focusDuration", 1500));
    QVERIFY(p.setInteger("focusDuration", 1500));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(seenInside.first(), std::optional<qint64>(1500));
    QVERIFY(p.remove("focusDuration"));
    QVERIFY(!p.contains("focusDuration"));
    QCOMPARE(seenInside.last(), std::nullopt);
    QVERIFY(p.remove("focusDuration"));
    QCOMPARE(spy.count(), 3);
    QVERIFY(p.setString("speechLanguage", "en-US"));
    QVERIFY(p.setString("speechLanguage", std::optional<QString>()));
    QVERIFY(!observer.contains("speechLanguage"));
    QCOMPARE(spy.count(), 5);
    QCOMPARE(spy.last().at(0).toString(), QString("speechLanguage"));
}

void TestPreferences::exactRoundTrip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    QByteArray everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte.append(char(i));
    QTest::newRow("unicode text") << QString("任务")
                                  << QVariant(QString::fromUtf8("随手记 ✓ 😀 Ünïcødé\n\ttab"));
    QTest::newRow("text with NUL") << QString("nul") << QVariant(QString::fromUtf8("a\0b\0", 4));
    QTest::newRow("binary data") << QString("bytes") << QVariant(everyByte + QByteArray(16, '\0'));
    QTest::newRow("2 MB data") << QString("notePages") << QVariant(randomBytes(2 * 1024 * 1024, 7));
    QTest::newRow("negative zero") << QString("zero") << QVariant(-0.0);
    QTest::newRow("infinity") << QString("inf") << QVariant(-std::numeric_limits<double>::infinity());
    QTest::newRow("smallest integer") << QString("min") << QVariant(std::numeric_limits<qint64>::min());
    QTest::newRow("empty key") << QString() << QVariant(QString("value of the empty key"));
}

void TestPreferences::exactRoundTrip()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    {
        Preferences p(dbPath());
        QVERIFY(store(p, key, value));
        QVERIFY(identical(p.object(key).value_or(QVariant()), value));
    }
    Preferences reopened(dbPath());
    QVERIFY(identical(reopened.object(key).value_or(QVariant()), value));
}

void TestPreferences::writeThatReturnedSurvivesKill()
{
    for (int round = 0; round < 12; ++round) {
        const QString key = QString("key %1").arg(round);
        QVariant expected;
        QStringList arguments { dbPath(), key };
        switch (round % 4) {
        case 0:
            expected = QVariant(qint64(round) * 1000003);
            arguments << "integer" << expected.toString();
            break;
        case 1:
            expected = QVariant(QString("第 %1 次").arg(round));
            arguments << "text" << expected.toString();
            break;
        case 2:
            expected = QVariant(QByteArray(2 * 1024 * 1024, char(round)));
            arguments << "data" << QString::number(2 * 1024 * 1024) << QString::number(round);
            break;
        case 3: {
            QList<QByteArray> elements;
            for (int i = 0; i < 20; ++i)
                elements += QByteArray(100000, i == 1 ? char(round) : char('a' + i % 26));
            expected = QVariant("[" + elements.join(',') + "]");
            arguments << "array" << "20" << QString::number(round);
            break;
        }
        }
        QProcess writer;
        writer.start(PREFERENCES_KILL_WRITER, arguments);
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        while (!writer.canReadLine() && writer.state() == QProcess::Running)
            writer.waitForReadyRead(30000);
        QCOMPARE(writer.readLine(), QByteArray("written\n"));
        writer.kill();
        QVERIFY(writer.waitForFinished());
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

        Preferences p(dbPath());
        QCOMPARE(p.startupIssue(), QString());
        QVERIFY2(identical(p.object(key).value_or(QVariant()), expected), qPrintable(key));
        QVERIFY(p.contains("key 0"));
    }
}

void TestPreferences::damagedFile_data()
{
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QByteArray>("writeAheadLog");

    const QByteArray real = realDatabase();
    QVERIFY(real.startsWith("SQLite format 3"));
    QVERIFY(real.size() > 3 * 4096);
    QByteArray damagedPage = real;
    damagedPage.replace(4096, 4096, randomBytes(4096, 3));

    QTest::newRow("garbage") << randomBytes(5000, 1) << QByteArray();
    QTest::newRow("garbage with its log") << randomBytes(5000, 2) << randomBytes(3000, 4);
    QTest::newRow("zeros") << QByteArray(8192, '\0') << QByteArray();
    QTest::newRow("truncated database") << real.left(100) << QByteArray();
    QTest::newRow("damaged page") << damagedPage << QByteArray();
}

void TestPreferences::damagedFile()
{
    QFETCH(QByteArray, original);
    QFETCH(QByteArray, writeAheadLog);
    QVERIFY(writeFile(dbPath(), original));
    if (!writeAheadLog.isEmpty())
        QVERIFY(writeFile(dbPath() + "-wal", writeAheadLog));

    QString aside;
    {
        Preferences p(dbPath());
        aside = p.setAsidePath();
        QVERIFY2(aside.startsWith(dbPath() + ".damaged-"), qPrintable(aside));
        QCOMPARE(readFile(aside), original);
        if (!writeAheadLog.isEmpty())
            QCOMPARE(readFile(aside + "-wal"), writeAheadLog);
        QVERIFY(p.startupIssue().contains(aside));
        QVERIFY(!p.contains("greeting"));
        QVERIFY(p.setString("greeting", "after the damage"));
    }
    Preferences reopened(dbPath());
    QCOMPARE(reopened.startupIssue(), QString());
    QCOMPARE(reopened.setAsidePath(), QString());
    QCOMPARE(reopened.string("greeting"), QString("after the damage"));
    QCOMPARE(readFile(aside), original);
}

void TestPreferences::secondDamageKeepsFirstCopy()
{
    const QByteArray first = randomBytes(4096, 10), second = randomBytes(4096, 11);
    QVERIFY(writeFile(dbPath(), first));
    const QString firstAside = Preferences(dbPath()).setAsidePath();
    QVERIFY(writeFile(dbPath(), second));
    QVERIFY(writeFile(dbPath() + "-wal", second));
    const QString secondAside = Preferences(dbPath()).setAsidePath();

    QVERIFY(!firstAside.isEmpty());
    QVERIFY(!secondAside.isEmpty());
    QVERIFY(firstAside != secondAside);
    QCOMPARE(readFile(firstAside), first);
    QCOMPARE(readFile(secondAside), second);
    QCOMPARE(readFile(secondAside + "-wal"), second);
}

void TestPreferences::unusableLocation_data()
{
    QTest::addColumn<QString>("relativePath");
    // Below a regular file: no folder can be made there, not even by root.
    QTest::newRow("below a file") << "blocker/preferences.sqlite";
    QTest::newRow("a folder") << "blocker-folder";
}

void TestPreferences::unusableLocation()
{
    QFETCH(QString, relativePath);
    QVERIFY(writeFile(m_dir->filePath("blocker"), "not a folder"));
    QVERIFY(QDir(m_dir->path()).mkdir("blocker-folder"));
    const QString path = m_dir->filePath(relativePath);

    Preferences p(path);
    QCOMPARE(p.databasePath(), path);
    QVERIFY(p.startupIssue().contains(path));
    QCOMPARE(p.setAsidePath(), QString());
    QSignalSpy spy(&p, &Preferences::changed);
    QVERIFY(p.setInteger("focusDuration", 60));
    QCOMPARE(p.integer("focusDuration"), std::optional<qint64>(60));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(readFile(m_dir->filePath("blocker")), QByteArray("not a folder"));
    QVERIFY(QFileInfo(m_dir->filePath("blocker-folder")).isDir());
}

void TestPreferences::failedWriteKeepsPreviousValue_data()
{
    QTest::addColumn<bool>("asArray");
    QTest::newRow("data") << false;
    QTest::newRow("array") << true;
}

void TestPreferences::failedWriteKeepsPreviousValue()
{
    QFETCH(bool, asArray);
    const auto write = [&](Preferences& p, const QByteArray& bytes) {
        return asArray ? p.setArray("notePages", { { "a", "1" }, { "b", bytes } }) : p.setData("notePages", bytes);
    };
    const QByteArray stored = asArray ? "[1,\"small\"]" : "\"small\"";
    Preferences p(dbPath());
    QVERIFY(write(p, "\"small\""));
    QSignalSpy spy(&p, &Preferences::changed);

    // A file-size limit makes the next large write fail in the kernel, like a full disk.
    rlimit original {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit limited = original;
    limited.rlim_cur = 256 * 1024;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = write(p, QByteArray(2 * 1024 * 1024, 'x'));
    const bool recorded = p.lastWriteSucceeded();
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QVERIFY(!recorded);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(p.data("notePages"), stored);
    QCOMPARE(Preferences(dbPath()).data("notePages"), stored);
    QVERIFY(write(p, "\"recovered\""));
    QCOMPARE(spy.count(), 1);
    QVERIFY(Preferences(dbPath()).data("notePages")->contains("recovered"));
}

// Arrays read back as the whole array whatever was written before or after, in this run or
// the next, leave no element rows behind, and a run that stores what is stored writes nothing.
void TestPreferences::arrays()
{
    const auto elementRows = [&] {
        sqlite3* db = nullptr;
        sqlite3_stmt* statement = nullptr;
        int rows = -1;
        if (sqlite3_open_v2(QFile::encodeName(dbPath()).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
            && sqlite3_prepare_v2(db, "SELECT count(*) FROM elements", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            rows = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return rows;
    };
    QList<Preferences::ArrayElement> elements { { "a", QByteArray(300, 'x') }, { "b", "{}" }, { "c", "" } };
    const auto joined = [&] {
        QByteArrayList forms;
        for (const auto& element : std::as_const(elements))
            forms << element.json;
        return "[" + forms.join(',') + "]";
    };
    {
        Preferences p(dbPath());
        QSignalSpy changed(&p, &Preferences::changed);
        QVERIFY(p.setArray("pages", {}));
        QCOMPARE(p.data("pages"), QByteArray("[]"));
        QVERIFY(p.setArray("pages", elements));
        QCOMPARE(p.data("pages"), joined());
        QCOMPARE(p.object("pages")->toByteArray(), joined());
        QCOMPARE(p.kind("pages"), Preferences::Kind::Data);
        QVERIFY(!p.string("pages"));
        // Reordered, one changed, one removed, one added.
        elements.move(0, 2);
        elements[0].json = "[1]";
        elements.removeAt(1);
        elements.append(Preferences::ArrayElement { "d", "4" });
        QVERIFY(p.setArray("pages", elements));
        QCOMPARE(p.data("pages"), joined());
        QCOMPARE(changed.count(), 3);
        QVERIFY(p.setArray("pages", elements));
        QCOMPARE(changed.count(), 3);
        QCOMPARE(elementRows(), 3);
        // Ids that cannot name rows: the array is stored whole, and reads the same.
        QVERIFY(p.setArray("twice", { { "x", "1" }, { "x", "2" }, { "", "3" } }));
        QCOMPARE(p.data("twice"), QByteArray("[1,2,3]"));
    }
    {
        Preferences p(dbPath());
        QSignalSpy changed(&p, &Preferences::changed);
        QCOMPARE(p.data("pages"), joined());
        QVERIFY(p.setArray("pages", elements));
        QCOMPARE(changed.count(), 0);
        elements[1].json = "\"typed\"";
        QVERIFY(p.setArray("pages", elements));
        QCOMPARE(changed.count(), 1);
        QVERIFY(p.setArray("other", { { "o", "0" } }));
    }
    {
        Preferences p(dbPath());
        QCOMPARE(p.data("pages"), joined());
        QVERIFY(p.setInteger("pages", 7));
        QCOMPARE(p.integer("pages"), 7);
        QVERIFY(p.setArray("pages", elements));
        QVERIFY(p.setData("pages", "plain"));
        QCOMPARE(p.data("pages"), QByteArray("plain"));
        QVERIFY(p.setArray("pages", elements));
        QVERIFY(p.remove("pages"));
        QVERIFY(!p.contains("pages"));
        QCOMPARE(p.data("other"), QByteArray("[0]"));
        QVERIFY(p.remove("other"));
    }
    QCOMPARE(elementRows(), 0);
}

// Earlier versions kept large values as parts (a row listing part ids, kind 5); such a
// database opens with the same values, and the parts are gone.
void TestPreferences::valuesKeptAsPartsAreMigrated()
{
    {
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(dbPath()).constData(), &db), SQLITE_OK);
        const auto exec = [&](const QByteArray& sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); };
        QCOMPARE(exec("PRAGMA journal_mode=WAL;"
                      "CREATE TABLE prefs(key TEXT PRIMARY KEY NOT NULL, kind INTEGER NOT NULL, value);"
                      "CREATE TABLE parts(id INTEGER PRIMARY KEY, owner TEXT NOT NULL, bytes BLOB NOT NULL);"
                      "INSERT INTO parts VALUES(7, 'notePages', '[{\"a\":1}'), (3, 'notePages', ','),"
                      "(9, 'notePages', '{\"b\":2}]');"
                      "INSERT INTO prefs VALUES('tasks', 4, CAST('[]' AS BLOB)), ('empty', 5, x'');"),
                 SQLITE_OK);
        QByteArray manifest;
        for (qint64 id : { 7, 3, 9 })
            manifest.append(reinterpret_cast<const char*>(&id), sizeof id);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO prefs VALUES('notePages', 5, ?1)", -1, &insert, nullptr);
        sqlite3_bind_blob(insert, 1, manifest.constData(), int(manifest.size()), SQLITE_STATIC);
        QCOMPARE(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }
    for (int run = 0; run < 2; ++run) {
        Preferences p(dbPath());
        QCOMPARE(p.startupIssue(), QString());
        QCOMPARE(p.data("notePages"), QByteArray(R"([{"a":1},{"b":2}])"));
        QCOMPARE(p.data("empty"), QByteArray(""));
        QCOMPARE(p.data("tasks"), QByteArray("[]"));
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(dbPath()).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const int rc = sqlite3_exec(db, "SELECT 1 FROM parts", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_ERROR);
}

void TestPreferences::standardStore()
{
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName("Tandrel");
    QCOMPARE(Preferences::standardDatabasePath(),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + "/Tandrel/preferences.sqlite");

    QCOMPARE(Preferences::standard(), nullptr);
    {
        Preferences p(dbPath());
        Preferences::setStandard(&p);
        QCOMPARE(Preferences::standard(), &p);
    }
    // A destroyed store is never handed out.
    QCOMPARE(Preferences::standard(), nullptr);
}

QTEST_GUILESS_MAIN(TestPreferences)
#include "TestPreferences.moc"
