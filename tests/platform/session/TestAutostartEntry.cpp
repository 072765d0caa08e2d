#include "platform/session/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestAutostartEntry : public QObject {
    Q_OBJECT

private slots:
    // Whatever is in the folder is read, then replaced by switching on (switching off: the
    // settings test). The Exec values are worked out by hand from the desktop entry rules.
    void readsAndReplaces_data()
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
    void readsAndReplaces()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, program);
        QTemporaryDir config;
        const AutostartEntry entry(config.path(), program);
        QFile file(entry.path());
        if (!contents.isNull())
            QVERIFY(QDir(config.path()).mkdir("autostart") && file.open(QIODevice::WriteOnly)
                && file.write(contents) >= 0);
        file.close();
        QTEST(entry.isEnabled(), "enabled");
        QVERIFY(entry.setEnabled(true).ok() && entry.isEnabled() && file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QFETCH(QString, exec);
        for (const QString& line : { QString("[Desktop Entry]"), QString("Type=Application"),
                 QString("Name=Tandrel"), QString("Icon=io.github.tandrel.Tandrel"), "Exec=" + exec })
            QVERIFY2(lines.contains(line.toUtf8()), qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(TestAutostartEntry)
#include "TestAutostartEntry.moc"
