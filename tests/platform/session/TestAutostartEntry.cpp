#include "platform/session/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestAutostartEntry : public QObject {
    Q_OBJECT

private slots:
    // What the desktop will do at login, read from what is in the folder; switching on
    // replaces any of it, switching off removes it. The Exec lines are worked out by hand
    // from the desktop entry rules: quote on a reserved character, escape " ` $ \ inside
    // the quotes, double %, then escape the value's own backslashes and newlines.
    void readsWritesAndRemoves_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("absent") << QByteArray() << false << "/home/李雷/tandrel" << "/home/李雷/tandrel";
        QTest::newRow("present") << QByteArray("[Desktop Entry]\nType=Application\nExec=tandrel\n") << true
                                 << "/opt/My Apps/tandrel" << "\"/opt/My Apps/tandrel\"";
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nExec=tandrel\nHidden=true\n") << false
                                << "/opt/100%/tandrel" << "/opt/100%%/tandrel";
        QTest::newRow("off in GNOME")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled = false\n") << false << "/x/a\"b$c/tandrel" << "\"/x/a\\\\\"b\\\\$c/tandrel\"";
        QTest::newRow("hidden elsewhere")
            << QByteArray("[Desktop Entry]\n[Desktop Action x]\nHidden=true\n") << true << "/x/a\\b/tandrel" << "\"/x/a\\\\\\\\b/tandrel\"";
        QTest::newRow("empty") << QByteArray("") << true << "/x/a\nb/tandrel" << "\"/x/a\\nb/tandrel\"";
    }
    void readsWritesAndRemoves()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, enabled);
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QTemporaryDir config;
        const AutostartEntry entry(config.path(), program);
        QCOMPARE(entry.path(), config.filePath("autostart/io.github.tandrel.Tandrel.desktop"));
        QFile file(entry.path());
        if (!contents.isNull())
            QVERIFY(QDir(config.path()).mkdir("autostart") && file.open(QIODevice::WriteOnly)
                && file.write(contents) >= 0);
        file.close();
        QCOMPARE(entry.isEnabled(), enabled);
        QVERIFY(entry.setEnabled(true).ok() && entry.isEnabled() && file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QString& line : { QString("[Desktop Entry]"), QString("Type=Application"),
                 QString("Name=Tandrel"), "Exec=" + exec, QString("Icon=io.github.tandrel.Tandrel"),
                 QString("X-GNOME-Autostart-enabled=true") })
            QVERIFY2(lines.contains(line.toUtf8()), qPrintable(line));
        QVERIFY(entry.setEnabled(false).ok() && !file.exists() && !entry.isEnabled());
    }
};

QTEST_GUILESS_MAIN(TestAutostartEntry)
#include "TestAutostartEntry.moc"
