#include "app/DisplayPlatform.h"

#include <QtTest>

Q_DECLARE_METATYPE(DisplayEnvironment)

class TestDisplayPlatform : public QObject {
    Q_OBJECT

private slots:
    void choice_data()
    {
        // QT_QPA_PLATFORM, WAYLAND_DISPLAY, DISPLAY, XDG_SESSION_TYPE
        QTest::addColumn<DisplayEnvironment>("environment");
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<int>("problem"); // -1: none
        const auto row = [](const char* name, DisplayEnvironment environment, const char* platform,
                             bool wayland, int problem) {
            QTest::newRow(name) << environment << QByteArray(platform) << wayland << problem;
        };
        const int noXWayland = int(DisplayPlatform::Problem::noXWayland);
        row("X only", { "", "", ":0", "x11" }, "xcb", false, -1);
        row("Wayland with X", { "", "wl-0", ":1", "wayland" }, "xcb", true, -1);
        row("Wayland without X", { "", "wl-0", "", "" }, "", true, noXWayland);
        row("Wayland named only", { "", "", "", "wayland" }, "", true, noXWayland);
        row("no display", { "", "", "", "tty" }, "", false, int(DisplayPlatform::Problem::noDisplay));
        row("offscreen asked for", { "offscreen", "", "", "" }, "", false, -1);
        row("Wayland asked for", { "wayland", "wl-0", "", "wayland" }, "", true, -1);
    }
    void choice()
    {
        QFETCH(DisplayEnvironment, environment);
        const DisplayPlatform choice = DisplayPlatform::choose(environment);
        QTEST(choice.platform, "platform");
        QTEST(choice.waylandSession, "wayland");
        QTEST(choice.problem ? int(*choice.problem) : -1, "problem");
    }

    // The program says why, in the user's language, and stops instead of Qt aborting.
    void aWaylandSessionWithoutXStopsWithASentence()
    {
        QProcess tandrel; // nothing but a Wayland display, and a Chinese-speaking user
        tandrel.start("env", { "-i", "WAYLAND_DISPLAY=wl-0", "LANGUAGE=zh_CN", TANDREL_PROGRAM });
        QVERIFY(tandrel.waitForFinished(30000));
        QCOMPARE(tandrel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tandrel.exitCode(), 1);
        QCOMPARE(tandrel.readAllStandardError().trimmed(),
            DisplayPlatform::message(DisplayPlatform::Problem::noXWayland, AppLanguage::chinese).toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestDisplayPlatform)
#include "TestDisplayPlatform.moc"
