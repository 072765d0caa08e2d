#include "platform/notifications/NotificationSettingsOpener.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The desktop's notification panel is found on PATH, the running desktop's own first, and
// started with its arguments.
class TestNotificationSettingsOpener : public QObject {
    Q_OBJECT

private slots:
    void opensTheDesktopsPanel_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("started"); // program and arguments; empty: none is offered
        QTest::newRow("none") << QStringList() << "GNOME" << "";
        QTest::newRow("Plasma 6") << QStringList { "kcmshell6" } << "KDE" << "kcmshell6 kcm_notifications";
        QTest::newRow("Plasma's own on Plasma") << QStringList { "gnome-control-center", "systemsettings" } << "KDE"
                                                << "systemsettings kcm_notifications";
        QTest::newRow("GNOME's on GNOME") << QStringList { "gnome-control-center", "kcmshell5" } << "ubuntu:GNOME"
                                          << "gnome-control-center notifications";
    }
    void opensTheDesktopsPanel()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, desktop);
        QFETCH(QString, started);
        QTemporaryDir bin;
        for (const QString& program : installed) {
            QFile script(bin.filePath(program));
            QVERIFY(script.open(QIODevice::WriteOnly)
                && script.setPermissions(QFile::ReadOwner | QFile::ExeOwner)
                && script.write("#!/bin/sh\necho \"${0##*/} $*\" > \"${0%/*}/started\"\n") > 0);
        }
        qputenv("PATH", bin.path().toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        DesktopNotificationSettingsOpener opener;
        QCOMPARE(opener.isAvailable(), !started.isEmpty());
        QCOMPARE(opener.open(), !started.isEmpty());
        const auto log = [&bin] {
            QFile file(bin.filePath("started"));
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
        };
        QTRY_COMPARE(log(), started);
    }
};

QTEST_MAIN(TestNotificationSettingsOpener)
#include "TestNotificationSettingsOpener.moc"
