#include "platform/session/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestAutostartEntry : public QObject {
    Q_OBJECT

private slots:
    // What the desktop will do at login, read from what is in the folder; switching on
    // replaces any of it, switching off removes it.
    void readsWritesAndRemoves_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("absent") << QByteArray() << false;
        QTest::newRow("present") << QByteArray("[Desktop Entry]\nType=Application\nExec=tandrel\n") << true;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nExec=tandrel\nHidden=true\n") << false;
        QTest::newRow("off in GNOME") << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled = false\n") << false;
        QTest::newRow("hidden elsewhere") << QByteArray("[Desktop Entry]\n[Desktop Action x]\nHidden=true\n") << true;
    }
    void readsWritesAndRemoves()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, enabled);
        QTemporaryDir config;
        const AutostartEntry entry(config.path(), "/opt/My Apps/tandrel");
        QCOMPARE(entry.path(), config.filePath("autostart/tandrel.desktop"));
        QFile file(entry.path());
        if (!contents.isNull())
            QVERIFY(QDir(config.path()).mkdir("autostart") && file.open(QIODevice::WriteOnly) && file.write(contents));
        file.close();
        QCOMPARE(entry.isEnabled(), enabled);
        QVERIFY(entry.setEnabled(true).ok() && entry.isEnabled() && file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const char* line : { "[Desktop Entry]", "Type=Application", "Name=Tandrel",
                 "Exec=\"/opt/My Apps/tandrel\"", "Icon=tandrel", "X-GNOME-Autostart-enabled=true" })
            QVERIFY2(lines.contains(line), line);
        QVERIFY(entry.setEnabled(false).ok() && !file.exists() && !entry.isEnabled());
    }

    // Worked out by hand from the desktop entry rules: quote on a reserved character, escape
    // " ` $ \ inside the quotes, double %, then escape the value's backslashes and newlines.
    void execArgument_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/home/李雷/tandrel" << "/home/李雷/tandrel";
        QTest::newRow("percent") << "/opt/100%/tandrel" << "/opt/100%%/tandrel";
        QTest::newRow("quote and dollar") << "/x/a\"b$c/tandrel" << "\"/x/a\\\\\"b\\\\$c/tandrel\"";
        QTest::newRow("backslash") << "/x/a\\b/tandrel" << "\"/x/a\\\\\\\\b/tandrel\"";
        QTest::newRow("newline") << "/x/a\nb/tandrel" << "\"/x/a\\nb/tandrel\"";
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
