#include "app/DisplayPlatform.h"

#include <QProcess>
#include <QtTest>

Q_DECLARE_METATYPE(DisplayEnvironment)

class TestDisplayPlatform : public QObject {
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<DisplayEnvironment>("environment");
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<int>("problem"); // -1: none
        const auto row = [](const char* name, DisplayEnvironment environment, const char* platform,
                             bool wayland, int problem) {
            QTest::newRow(name) << environment << QByteArray(platform) << wayland << problem;
        };
        const int noXWayland = int(DisplayPlatform::Problem::noXWayland);
        // Environment: QT_QPA_PLATFORM, WAYLAND_DISPLAY, DISPLAY, XDG_SESSION_TYPE.
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
        QFETCH(QByteArray, platform);
        QFETCH(bool, wayland);
        QFETCH(int, problem);
        const DisplayPlatform choice = DisplayPlatform::choose(environment);
        QCOMPARE(choice.platform, platform);
        QCOMPARE(choice.waylandSession, wayland);
        QCOMPARE(choice.problem ? int(*choice.problem) : -1, problem);
        if (!choice.problem)
            return;

        // The program says why, in the user's language, and stops instead of Qt aborting.
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        const std::pair<const char*, QByteArray> values[] = { { "QT_QPA_PLATFORM", environment.qpaPlatform },
            { "WAYLAND_DISPLAY", environment.waylandDisplay }, { "DISPLAY", environment.x11Display },
            { "XDG_SESSION_TYPE", environment.sessionType }, { "LANGUAGE", "zh_CN" } };
        for (const auto& [name, value] : values)
            value.isEmpty() ? variables.remove(name) : variables.insert(name, value);
        QProcess tandrel;
        tandrel.setProcessEnvironment(variables);
        tandrel.start(TANDREL_PROGRAM, {});
        QVERIFY(tandrel.waitForFinished(30000));
        QCOMPARE(tandrel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tandrel.exitCode(), 1);
        QCOMPARE(tandrel.readAllStandardError().trimmed(),
            DisplayPlatform::message(*choice.problem, AppLanguage::chinese).toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestDisplayPlatform)
#include "TestDisplayPlatform.moc"
