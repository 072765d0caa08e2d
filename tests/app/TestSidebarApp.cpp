#include "app/CommandLine.h"
#include "app/SidebarRecoveryMenu.h"
#include "app/SingleInstance.h"
#include "features/focus/PomodoroTimer.h"
#include "features/settings/SettingsWindowHost.h"
#include "platform/audio/RecordingStore.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "support/FakeAudioBackend.h"
#include "support/FakeWindowSystem.h"
#include "support/ScriptedHotKeys.h"
#include "support/ShellHarness.h"
#include "workspace/edge/EdgeControls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

#include <atomic>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

struct Shell : ShellHarness {
    ScriptedHotKeys* hotKeys = new ScriptedHotKeys;

    explicit Shell(const QString& language, bool panelsAfterFirstPaint = false)
        : ShellHarness(language, new FakeAudioBackend, std::make_unique<FakeWindowSystem>())
    {
        app->setHotKeyBackend(std::unique_ptr<HotKeyRegistering>(hotKeys));
        app->setPanelsAfterFirstPaint(panelsAfterFirstPaint);
        app->start();
    }
};

class TestSidebarApp : public QObject {
    Q_OBJECT

    // Asks from another thread, as a second process would, while this one answers.
    static SingleInstance::Role askFromAnotherThread(const QString& folder, const QString& action = {})
    {
        std::atomic<int> role { -1 };
        const std::unique_ptr<QThread> thread(QThread::create([&] {
            SingleInstance later(QStringLiteral("Tandrel"), folder);
            role = int(later.start(action));
        }));
        thread->start();
        // Answering needs this thread's event loop, so it runs while the other one asks.
        if (!QTest::qWaitFor([&thread] { return thread->isFinished(); }, 8000))
            qWarning("the other launch did not finish");
        thread->wait();
        return SingleInstance::Role(role.load());
    }

private slots:
    // An unreachable holder is reported; a crashed instance's files and odd callers block nobody.
    void aLaterLaunchAsksTheRunningOne()
    {
        QTemporaryDir folder;
        QFile lock(folder.filePath("Tandrel.lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly) && ::flock(lock.handle(), LOCK_EX | LOCK_NB) == 0);
        lock.write("2147483600\nTandrel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.flush();
        QVERIFY(QFile(folder.filePath("Tandrel.socket")).open(QIODevice::WriteOnly));
        SingleInstance first(QStringLiteral("Tandrel"), folder.path());
        first.setAskDuration(200);
        QCOMPARE(first.start(), SingleInstance::Role::unreachable);
        lock.close(); // the holder is gone
        QCOMPARE(first.start(), SingleInstance::Role::primary);
        QSignalSpy asked(&first, &SingleInstance::activationRequested);
        sockaddr_un address { AF_UNIX, {} };
        const QByteArray path = QFile::encodeName(first.socketPath());
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        const int silent = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int other = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        for (int caller : { silent, other })
            QCOMPARE(::connect(caller, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QCOMPARE(::write(other, "hello\n", 6), 6);
        // A plain launch shows the sidebar; one with an action does what its hot key does.
        Shell shell("en");
        shell.app->answer(&first);
        shell.controller()->collapse(SidebarEdge::right);
        QCOMPARE(askFromAnotherThread(folder.path()), SingleInstance::Role::secondary);
        QCOMPARE(asked.count(), 1);
        QTRY_VERIFY(!shell.controller()->isCollapsed() && !shell.controller()->isTransitioning());
        const auto launch = [&folder](const QString& option) {
            const ShortcutAction action = CommandLine::parse({ "tandrel", option }).action.value();
            askFromAnotherThread(folder.path(), CommandLine::optionName(action));
        };
        for (const char* option : { "--toggle-timer", "--toggle-recording" })
            launch(option);
        QTRY_VERIFY(shell.store()->timer()->isRunning() && shell.store()->audio()->isRecording());
        shell.controller()->collapse(SidebarEdge::right);
        launch("--show-sidebar");
        QTRY_VERIFY(!shell.controller()->isCollapsed());
        QCOMPARE(asked.count(), 1);
        ::close(silent);
        ::close(other);
    }

    // Closing the window keeps the program running (the sidebar shortcut uses the same call).
    void theTrayBringsAClosedWindowBack()
    {
        Shell shell("en");
        shell.app->setTrayAvailable([] { return true; });
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        shell.window()->close();
        QCOMPARE(shell.controller()->window(), nullptr);
        shell.app->recoveryMenu()->menu()->findChild<QAction*>("showTandrelAction")->trigger();
        QVERIFY(shell.window()->isVisible() && !shell.controller()->isCollapsed());
        QCOMPARE(shell.controller()->window(), shell.window());
        // The focus shortcut acts on the window that came back: it ends typing, toggles the timer.
        shell.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(shell.window()));
        auto* field = shell.window()->findChild<QLineEdit*>("taskDraftField");
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        shell.hotKeys->press(ShortcutAction::focus);
        QVERIFY(!field->hasFocus() && shell.store()->timer()->isRunning());
    }

    // Without a tray a close collapses a docked window, quits a floating one; Quit keeps the recording.
    void closingAndQuitting_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("quits"); // or else, docked, collapses
        QTest::newRow("no tray, docked: close") << false << "close" << false;
        QTest::newRow("no tray, floating: close") << false << "close" << true;
        QTest::newRow("Ctrl+Q") << true << "ctrl+q" << true;
        QTest::newRow("settings window") << false << "settings" << true;
        QTest::newRow("tray menu") << true << "tray" << true;
    }
    void closingAndQuitting()
    {
        QFETCH(bool, tray);
        QFETCH(QString, how);
        QFETCH(bool, quits);
        Shell shell("en");
        shell.app->setTrayAvailable([tray] { return tray; });
        if (!quits) {
            shell.controller()->collapse(SidebarEdge::left);
            shell.controller()->showWindow();
        }
        QTRY_VERIFY(!shell.controller()->isCollapsed() && !shell.controller()->isTransitioning());
        RecordingStore* recorder = shell.store()->audio();
        recorder->toggle();
        QTRY_VERIFY(recorder->isRecording());
        QSignalSpy kept(recorder, &RecordingStore::recordingFinished);
        SettingsWindowHost* settings = SettingsWindowHost::of(shell.store());
        if (how == "settings")
            settings->open();
        const auto act = [&] {
            if (how == "close")
                shell.window()->windowHandle()->close();
            else if (how == "ctrl+q")
                QTest::keyClick(shell.window(), Qt::Key_Q, Qt::ControlModifier);
            else if (how == "tray")
                shell.app->recoveryMenu()->menu()->findChild<QAction*>("quitTandrelAction")->trigger();
            else
                settings->window()->findChild<QAbstractButton*>("quitButton")->click();
        };
        if (!quits) {
            act();
            QTRY_VERIFY(shell.controller()->isCollapsed() && recorder->isRecording());
            QCOMPARE(shell.controller()->window(), shell.window());
            return;
        }
        // Quitting ends the event loop, so it runs inside one (and one that does not end fails).
        QTimer::singleShot(0, this, act);
        QObject loop;
        QTimer::singleShot(5000, &loop, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(kept.count() == 1 && !recorder->isRecording() && !shell.window()->isVisible());
    }

    // Panels built once after the first paint; one settings window, whose language reaches everything.
    void panelsAfterTheFirstPaintAndOneSettingsWindow()
    {
        Shell shell("zh-Hans", true);
        QVERIFY(shell.window()->isVisible() && !shell.window()->hasPanels());
        shell.app->runAction(ShortcutAction::focus);
        QTRY_VERIFY(shell.window()->hasPanels());
        shell.window()->attach(shell.store());
        QCOMPARE(shell.window()->findChildren<QWidget*>("taskDraftField").size(), 1);
        QCOMPARE(shell.window()->findChildren<QWidget*>("windowTitleLabel").size(), 1);
        // The edge tab and the tray come after the panels, and with them the waiting action.
        QTRY_VERIFY(
            shell.app->edgeControls() && shell.app->recoveryMenu() && shell.store()->timer()->isRunning());

        shell.window()->findChild<QAbstractButton*>("settingsButton")->click();
        SettingsView* settings = SettingsWindowHost::of(shell.store())->window();
        QVERIFY(settings->isWindow() && settings->parent() == nullptr && !settings->isModal());
        settings->resize(610, 480);
        settings->close();
        QCOMPARE(shell.preferences()->string("settingsWindowSize"), QString("610x480"));
        QCOMPARE(SettingsView(shell.store()).size(), QSize(610, 480));
        shell.controller()->collapse(SidebarEdge::left);
        shell.app->edgeControls()->quickControlsRequested();
        const qsizetype calls = shell.notifications->calls.size();
        shell.app->recoveryMenu()->menu()->findChild<QAction*>("settingsAction")->trigger();
        QVERIFY(SettingsWindowHost::of(shell.store())->window() == settings && settings->isVisible());
        auto* picker = settings->findChild<QComboBox*>("interfaceLanguagePicker");
        picker->setCurrentIndex(picker->findData("en"));
        emit picker->activated(picker->currentIndex());
        QTRY_COMPARE(settings->windowTitle(), QString("Settings"));
        QVERIFY(!shell.window()->findChild<QLineEdit*>("taskDraftField")->placeholderText().contains("任"));
        QCOMPARE(shell.app->recoveryMenu()->menu()->actions().first()->text(), QString("Show Tandrel"));
        QCOMPARE(shell.notifications->calls.size(), calls + 1);
        QVERIFY(!shell.notifications->calls.last().requestPermission);
        QVERIFY(shell.controller()->isCollapsed());
    }

    // A start that fails brings the collapsed sidebar forward to show why.
    void recordingShortcutWhileCollapsed_data()
    {
        QTest::addColumn<bool>("starts");
        QTest::newRow("recorder fails") << false;
        QTest::newRow("recording") << true;
    }
    void recordingShortcutWhileCollapsed()
    {
        QFETCH(bool, starts);
        Shell shell("en");
        static_cast<FakeAudioBackend*>(shell.audio)->recorderStarts = starts;
        shell.controller()->collapse(SidebarEdge::left);
        shell.hotKeys->press(ShortcutAction::recording);
        RecordingStore* recorder = shell.store()->audio();
        QTRY_VERIFY(recorder->isRecording() || recorder->errorMessage().has_value());
        QCOMPARE(recorder->isRecording(), starts);
        QCOMPARE(shell.controller()->isCollapsed(), starts);
        QCOMPARE(shell.window()->isVisible(), !starts);
    }
};

QTEST_MAIN(TestSidebarApp)
#include "TestSidebarApp.moc"
