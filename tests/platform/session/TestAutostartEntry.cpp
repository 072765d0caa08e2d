#include "platform/session/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestAutostartEntry : public QObject {
    Q_OBJECT

    static void writeFile(const QString& path, const QByteArray& contents)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

private slots:
    // What the desktop will do at login, read from what is in the folder.
    void readsTheEntry_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("absent") << QByteArray() << false;
        QTest::newRow("present") << QByteArray("[Desktop Entry]\nType=Application\nExec=tandrel\n") << true;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nExec=tandrel\nHidden=true\n") << false;
        QTest::newRow("switched off in GNOME")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled = false\n") << false;
        QTest::newRow("hidden in another group")
            << QByteArray("[Desktop Entry]\nExec=tandrel\n[Desktop Action x]\nHidden=true\n") << true;
    }
    void readsTheEntry()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, enabled);
        QTemporaryDir config;
        const AutostartEntry entry(config.path(), "/usr/bin/tandrel");
        QCOMPARE(entry.path(), config.filePath("autostart/tandrel.desktop"));
        if (!contents.isNull())
            writeFile(entry.path(), contents);
        QCOMPARE(entry.isEnabled(), enabled);
    }

    // Switching on replaces whatever was there (a hidden entry too); switching off removes it.
    void writesAndRemoves()
    {
        QTemporaryDir config;
        const AutostartEntry entry(config.path(), "/opt/My Apps/tandrel");
        writeFile(entry.path(), "[Desktop Entry]\nHidden=true\n");
        QVERIFY(entry.setEnabled(true).ok());
        QVERIFY(entry.isEnabled());
        QFile file(entry.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const char* line : { "[Desktop Entry]", "Type=Application", "Name=Tandrel",
                 "Exec=\"/opt/My Apps/tandrel\"", "Icon=tandrel", "X-GNOME-Autostart-enabled=true" })
            QVERIFY2(lines.contains(line), line);
        QVERIFY(entry.setEnabled(false).ok());
        QVERIFY(!QFile::exists(entry.path()) && !entry.isEnabled());
        QVERIFY(entry.setEnabled(false).ok());
    }

    // Root ignores permissions, so the folder and the entry are blocked by what stands there.
    void aFailedWriteSaysWhere_data()
    {
        QTest::addColumn<bool>("enable");
        QTest::newRow("write: the folder is a file") << true;
        QTest::newRow("remove: the entry is a folder") << false;
    }
    void aFailedWriteSaysWhere()
    {
        QFETCH(bool, enable);
        QTemporaryDir config;
        const AutostartEntry entry(config.path(), "/usr/bin/tandrel");
        if (enable)
            writeFile(config.filePath("autostart"), "not a folder");
        else
            writeFile(entry.path() + "/inside", "not an entry");
        const Result<bool> result = entry.setEnabled(enable);
        QVERIFY(!result.ok());
        QVERIFY2(result.error().text().contains(entry.path()), qPrintable(result.error().text()));
    }

    // Rows worked out by hand from the desktop entry rules: quote on a reserved character,
    // escape " ` $ \ inside the quotes, double %, then escape backslashes and newlines of the value.
    void execArgument_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/usr/bin/tandrel" << "/usr/bin/tandrel";
        QTest::newRow("space") << "/home/li lei/tandrel" << "\"/home/li lei/tandrel\"";
        QTest::newRow("percent") << "/opt/100%/tandrel" << "/opt/100%%/tandrel";
        QTest::newRow("quote and dollar") << "/x/a\"b$c/tandrel" << "\"/x/a\\\\\"b\\\\$c/tandrel\"";
        QTest::newRow("backslash") << "/x/a\\b/tandrel" << "\"/x/a\\\\\\\\b/tandrel\"";
        QTest::newRow("newline") << "/x/a\nb/tandrel" << "\"/x/a\\nb/tandrel\"";
        QTest::newRow("chinese") << "/home/李雷/tandrel" << "/home/李雷/tandrel";
    }
    void execArgument()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QCOMPARE(AutostartEntry::execArgument(program), exec);
    }
};

QTEST_GUILESS_MAIN(TestAutostartEntry)
#include "TestAutostartEntry.moc"
