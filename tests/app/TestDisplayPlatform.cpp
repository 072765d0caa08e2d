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
        const int none = -1, noXWayland = int(DisplayPlatform::Problem::noXWayland),
                  noDisplay = int(DisplayPlatform::Problem::noDisplay);
        QTest::newRow("X only") << DisplayEnvironment { "", "", ":0", "x11" } << QByteArray("xcb") << false
                                << none;
        QTest::newRow("Wayland with XWayland")
            << DisplayEnvironment { "", "wayland-0", ":1", "wayland" } << QByteArray("xcb") << true << none;
        QTest::newRow("Wayland without X")
            << DisplayEnvironment { "", "wayland-0", "", "wayland" } << QByteArray() << true << noXWayland;
        QTest::newRow("Wayland session named only")
            << DisplayEnvironment { "", "", "", "wayland" } << QByteArray() << true << noXWayland;
        QTest::newRow("no display") << DisplayEnvironment { "", "", "", "tty" } << QByteArray() << false
                                    << noDisplay;
        QTest::newRow("offscreen chosen")
            << DisplayEnvironment { "offscreen", "", "", "" } << QByteArray() << false << none;
        QTest::newRow("native Wayland chosen")
            << DisplayEnvironment { "wayland", "wayland-0", "", "wayland" } << QByteArray() << true << none;
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
    }

    // The program says why in the user's language and stops, instead of Qt aborting.
    void refusedStart_data()
    {
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("says");
        QTest::newRow("Wayland without X") << "wayland-0"
                                           << "en_GB"
                                           << "Enable XWayland";
        QTest::newRow("no display") << ""
                                    << "zh_CN"
                                    << "请在图形桌面会话中启动";
    }
    void refusedStart()
    {
        QFETCH(QString, wayland);
        QFETCH(QString, language);
        QFETCH(QString, says);
        QProcess tandrel;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : { "DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE", "LC_ALL", "LC_MESSAGES" })
            environment.remove(name);
        environment.insert("WAYLAND_DISPLAY", wayland);
        environment.insert("LANGUAGE", language);
        environment.insert("LANG", language + ".UTF-8");
        tandrel.setProcessEnvironment(environment);
        tandrel.start(TANDREL_PROGRAM, {});
        QVERIFY(tandrel.waitForFinished(30000));
        QCOMPARE(tandrel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tandrel.exitCode(), 1);
        QVERIFY2(QString::fromUtf8(tandrel.readAllStandardError()).contains(says), qPrintable(says));
    }
};

QTEST_GUILESS_MAIN(TestDisplayPlatform)
#include "TestDisplayPlatform.moc"
