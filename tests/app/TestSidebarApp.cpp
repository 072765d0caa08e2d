#include "app/ShortcutLifecycle.h"
#include "app/SidebarApp.h"
#include "app/SidebarRecoveryMenu.h"
#include "app/SingleInstance.h"
#include "features/focus/PomodoroTimer.h"
#include "support/FakeAudioBackend.h"
#include "platform/audio/RecordingStore.h"
#include "platform/shortcuts/ScriptedHotKeys.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "platform/preferences/Preferences.h"
#include "platform/window/SidebarTestDoubles.h"
#include "workspace/ContentView.h"
#include "workspace/RecordingNotifications.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QToolButton>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <memory>

class TestSidebarApp : public QObject {
    Q_OBJECT

    struct Shell {
        QTemporaryDir dir;
        std::unique_ptr<Preferences> prefs;
        RecordingNotifications* notifications = new RecordingNotifications;
        FakeAudioBackend* audio = new FakeAudioBackend;
        ScriptedHotKeys* hotKeys = new ScriptedHotKeys;
        std::unique_ptr<SidebarApp> app;

        explicit Shell(const QString& language, MicrophoneAuthorization microphone = MicrophoneAuthorization::authorized)
        {
            prefs = std::make_unique<Preferences>(dir.filePath("preferences.sqlite"));
            Preferences::setStandard(prefs.get());
            prefs->setString("interfaceLanguage", language);
            audio->authorization = microphone;
            WorkspaceServices services;
            services.notifications = notifications;
            services.audio = new RecordingStore(dir.filePath("Recordings"), audio);
            SidebarWindowServices windowServices;
            windowServices.windowSystem = std::make_unique<FakeWindowSystem>();
            app = std::make_unique<SidebarApp>(prefs.get(), services, std::move(windowServices));
            app->setHotKeyBackend(std::unique_ptr<HotKeyRegistering>(hotKeys));
            app->start();
        }
        ~Shell()
        {
            app.reset();
            Preferences::setStandard(nullptr);
        }
    };

    // Asks from another thread, as a second process would, while this one answers.
    static SingleInstance::Role askFromAnotherThread(const QString& folder)
    {
        std::atomic<int> role { -1 };
        QThread* thread = QThread::create([&] {
            SingleInstance later(QStringLiteral("Tandrel"), folder);
            role = int(later.start());
        });
        thread->start();
        // Answering needs this thread's event loop, so it runs while the other one asks.
        QElapsedTimer elapsed;
        elapsed.start();
        while (!thread->isFinished() && elapsed.elapsed() < 8000)
            QTest::qWait(20);
        thread->wait();
        delete thread;
        return SingleInstance::Role(role.load());
    }

private slots:
    void aLaterLaunchAsksTheRunningOne()
    {
        QTemporaryDir folder;
        SingleInstance first(QStringLiteral("Tandrel"), folder.path());
        QCOMPARE(first.start(), SingleInstance::Role::primary);
        QSignalSpy asked(&first, &SingleInstance::activationRequested);
        // A caller that connects and says nothing (or something else) holds up nobody.
        const int silent = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(first.socketPath());
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        QCOMPARE(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const int other = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QCOMPARE(::connect(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QCOMPARE(::write(other, "hello\n", 6), 6);
        QCOMPARE(askFromAnotherThread(folder.path()), SingleInstance::Role::secondary);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(askFromAnotherThread(folder.path()), SingleInstance::Role::secondary);
        QCOMPARE(asked.count(), 2);
        ::close(silent);
        ::close(other);
    }

    void leftoversOfACrashedInstanceDoNotBlock()
    {
        QTemporaryDir folder;
        // A lock naming a process that no longer runs, and its socket file.
        QFile lock(folder.filePath("Tandrel.lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("2147483600\nTandrel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        QFile socket(folder.filePath("Tandrel.socket"));
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();
        SingleInstance instance(QStringLiteral("Tandrel"), folder.path());
        QCOMPARE(instance.start(), SingleInstance::Role::primary);
        QSignalSpy asked(&instance, &SingleInstance::activationRequested);
        QCOMPARE(askFromAnotherThread(folder.path()), SingleInstance::Role::secondary);
        QCOMPARE(asked.count(), 1);
    }

    void aRunningInstanceThatDoesNotAnswer()
    {
        QTemporaryDir folder;
        // Another process holds the lock and never listens.
        const int held = ::open(QFile::encodeName(folder.filePath("Tandrel.lock")).constData(),
                                O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(held >= 0);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        SingleInstance instance(QStringLiteral("Tandrel"), folder.path());
        QCOMPARE(instance.start(), SingleInstance::Role::unreachable);
        ::close(held);
        // Once that process is gone, a launch becomes the running instance.
        QCOMPARE(instance.start(), SingleInstance::Role::primary);
    }

    void startOpensTheWindow()
    {
        Shell shell("en");
        ContentView* window = shell.app->window();
        QVERIFY(window && window->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QString("Tandrel"));
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        QCOMPARE(shell.app->windowController()->window(), window);
        const QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(SidebarApp::defaultWindowSize(), QSize(420, screen->availableGeometry().height()));
        // Starts floating at the top of the visible area.
        QCOMPARE(shell.app->windowController()->dockedEdge(), std::nullopt);
        QTRY_COMPARE(window->frameGeometry().top(), screen->availableGeometry().top());
        QVERIFY(window->findChild<QWidget*>("pinButton"));
    }

    void theControllerShowsTheStoresTimerAndRecorder()
    {
        Shell shell("en");
        SidebarWindowController* controller = shell.app->windowController();
        controller->collapse(SidebarEdge::right);
        QVERIFY(controller->isCollapsed());
        shell.app->store()->timer()->toggle();
        controller->refreshIndicators();
        QVERIFY(controller->tabButton()->toolTip().contains("Focus Running 25:00"));
        controller->quickControlsRequested();
        QVERIFY(controller->quickPanel() && controller->quickPanel()->isVisible());
    }

    void trayMenu_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("zh") << "zh-Hans" << QStringList { "显示Tandrel", "", "退出Tandrel" };
        QTest::newRow("en") << "en" << QStringList { "Show Tandrel", "", "Quit Tandrel" };
    }
    void trayMenu()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, entries);
        Shell shell(language);
        SidebarRecoveryMenu* tray = shell.app->recoveryMenu();
        QCOMPARE(tray->trayIcon()->toolTip(), QString("Tandrel"));
        QCOMPARE(tray->trayIcon()->contextMenu(), tray->menu());
        QStringList texts;
        for (const QAction* action : tray->menu()->actions())
            texts << (action->isSeparator() ? QString() : action->text());
        QCOMPARE(texts, entries);
    }

    void closingKeepsRunningAndShowBringsTheWindowBack()
    {
        Shell shell("en");
        ContentView* window = shell.app->window();
        SidebarWindowController* controller = shell.app->windowController();
        window->close();
        QVERIFY(!window->isVisible());
        QCOMPARE(controller->window(), nullptr);
        shell.app->recoveryMenu()->menu()->findChild<QAction*>("showTandrelAction")->trigger();
        QVERIFY(window->isVisible());
        QCOMPARE(controller->window(), window);

        controller->collapse(SidebarEdge::left);
        QVERIFY(controller->isCollapsed());
        shell.app->showWindow();
        QVERIFY(!controller->isCollapsed());
        QVERIFY(window->isVisible());
    }

    void aLaterLaunchExpandsOrReopens()
    {
        Shell shell("en");
        ContentView* window = shell.app->window();
        SidebarWindowController* controller = shell.app->windowController();
        controller->collapse(SidebarEdge::right);
        shell.app->reopen();
        QVERIFY(!controller->isCollapsed());
        QVERIFY(window->isVisible());
        window->close();
        shell.app->reopen();
        QVERIFY(window->isVisible());
        QCOMPARE(controller->window(), window);
    }

    void languageChangeReachesTheControllerTheTrayAndTheReminders()
    {
        Shell shell("zh-Hans");
        SidebarWindowController* controller = shell.app->windowController();
        controller->collapse(SidebarEdge::left);
        controller->quickControlsRequested();
        QCOMPARE(controller->handle()->windowTitle(), QString("展开Tandrel"));
        const qsizetype calls = shell.notifications->calls.size();
        shell.prefs->setString("interfaceLanguage", "en");
        QCOMPARE(controller->handle()->windowTitle(), QString("Open Tandrel"));
        QCOMPARE(controller->quickPanel()->windowTitle(), QString("Tandrel Quick Controls"));
        QCOMPARE(
            controller->tabButton()->toolTip(), QString("Click to open Tandrel. Hover for quick controls."));
        QCOMPARE(shell.app->recoveryMenu()->menu()->actions().first()->text(), QString("Show Tandrel"));
        QCOMPARE(shell.notifications->calls.size(), calls + 1);
        QCOMPARE(shell.notifications->calls.last().requestPermission, false);
        QVERIFY(controller->isCollapsed());
    }

    void thePanelsCanFollowTheFirstPaint()
    {
        QTemporaryDir dir;
        Preferences prefs(dir.filePath("preferences.sqlite"));
        Preferences::setStandard(&prefs);
        prefs.setString("interfaceLanguage", "zh-Hans");
        WorkspaceServices services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(dir.filePath("Recordings"), new FakeAudioBackend);
        SidebarWindowServices windowServices;
        windowServices.windowSystem = std::make_unique<FakeWindowSystem>();
        {
            SidebarApp app(&prefs, services, std::move(windowServices));
            app.setHotKeyBackend(std::make_unique<ScriptedHotKeys>());
            app.setPanelsAfterFirstPaint(true);
            app.start();
            ContentView* window = app.window();
            QVERIFY(window->isVisible());
            QVERIFY(!window->hasPanels());
            QVERIFY(window->findChild<QWidget*>("pinButton"));
            QTRY_VERIFY(window->hasPanels());
            QVERIFY(window->findChild<QWidget*>("taskDraftField"));
            auto* toggle = window->findChild<QToolButton*>("timerToggleButton");
            QVERIFY(toggle);
            QCOMPARE(toggle->toolTip(), QString("开始 / 继续（⌃⌥P）"));
            // Built once, whatever comes later.
            window->buildPanels();
            QCOMPARE(window->findChildren<QWidget*>("taskDraftField").size(), 1);
        }
        Preferences::setStandard(nullptr);
    }

    void hotKeysAreRegisteredOnceAndReconnectedWhenShownAgain()
    {
        Shell shell("en");
        QCOMPARE(shell.hotKeys->registered.size(), 3);
        shell.app->window()->close();
        shell.app->showWindow();
        QVERIFY(shell.app->window()->isVisible());
        QCOMPARE(shell.hotKeys->registered.size(), 3);
        shell.hotKeys->press(ShortcutAction::focus);
        QCOMPARE(shell.app->store()->timer()->isRunning(), true);
    }

    void theFocusShortcutEndsTypingThenTogglesTheTimer()
    {
        Shell shell("en");
        ContentView* window = shell.app->window();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* field = window->findChild<QLineEdit*>("taskDraftField");
        QVERIFY(field);
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        shell.hotKeys->press(ShortcutAction::focus);
        QVERIFY(!field->hasFocus());
        QVERIFY(shell.app->store()->timer()->isRunning());
        shell.hotKeys->press(ShortcutAction::focus);
        QVERIFY(!shell.app->store()->timer()->isRunning());
    }

    void theTimerPanelShowsTheBoundFocusShortcut()
    {
        Shell shell("zh-Hans");
        auto* toggle = shell.app->window()->findChild<QToolButton*>("timerToggleButton");
        QVERIFY(toggle);
        QCOMPARE(toggle->toolTip(), QString("开始 / 继续（⌃⌥P）"));
    }

    void theSidebarShortcutExpandsOrOpens()
    {
        Shell shell("en");
        SidebarWindowController* controller = shell.app->windowController();
        controller->collapse(SidebarEdge::right);
        QVERIFY(controller->isCollapsed());
        shell.hotKeys->press(ShortcutAction::sidebar);
        QVERIFY(!controller->isCollapsed());
        QVERIFY(shell.app->window()->isVisible());
        shell.app->window()->close();
        shell.hotKeys->press(ShortcutAction::sidebar);
        QVERIFY(shell.app->window()->isVisible());
        QCOMPARE(controller->window(), shell.app->window());
    }

    void theRecordingShortcutWaitsForPermissionThenRecordsAndAttaches()
    {
        Shell shell("en", MicrophoneAuthorization::notDetermined);
        RecordingStore* recorder = shell.app->store()->audio();
        shell.hotKeys->press(ShortcutAction::recording);
        QTRY_VERIFY(recorder->isRequestingPermission());
        QTRY_COMPARE(shell.audio->accessRequests.size(), 1);
        // Pressed again while the permission question is open: nothing.
        shell.hotKeys->press(ShortcutAction::recording);
        QTest::qWait(20);
        QCOMPARE(shell.audio->accessRequests.size(), 1);
        QVERIFY(!recorder->isRecording());

        shell.audio->authorization = MicrophoneAuthorization::authorized;
        shell.audio->accessRequests.takeFirst()(true);
        QTRY_VERIFY(recorder->isRecording());
        shell.hotKeys->press(ShortcutAction::recording);
        QVERIFY(!recorder->isRecording());
        QTRY_COMPARE(shell.app->store()->pages().size(), 1);
        QTRY_COMPARE(shell.app->store()->pages().first().attachments.size(), 1);
    }

    void aRecordingThatCannotStartBringsTheSidebarForward_data()
    {
        QTest::addColumn<bool>("denied");
        QTest::newRow("microphone denied") << true;
        QTest::newRow("recorder fails") << false;
    }
    void aRecordingThatCannotStartBringsTheSidebarForward()
    {
        QFETCH(bool, denied);
        Shell shell("en", denied ? MicrophoneAuthorization::denied : MicrophoneAuthorization::authorized);
        shell.audio->recorderStarts = false;
        SidebarWindowController* controller = shell.app->windowController();
        controller->collapse(SidebarEdge::left);
        QVERIFY(controller->isCollapsed());
        shell.hotKeys->press(ShortcutAction::recording);
        QTRY_VERIFY(shell.app->store()->audio()->errorMessage().has_value());
        QTRY_VERIFY(!controller->isCollapsed());
        QVERIFY(shell.app->window()->isVisible());
        QVERIFY(!shell.app->store()->audio()->isRecording());
    }

    void aStartedRecordingLeavesTheSidebarCollapsed()
    {
        Shell shell("en");
        SidebarWindowController* controller = shell.app->windowController();
        controller->collapse(SidebarEdge::left);
        shell.hotKeys->press(ShortcutAction::recording);
        QTRY_VERIFY(shell.app->store()->audio()->isRecording());
        QTest::qWait(20);
        QVERIFY(controller->isCollapsed());
        shell.hotKeys->press(ShortcutAction::recording);
    }
};

QTEST_MAIN(TestSidebarApp)
#include "TestSidebarApp.moc"
