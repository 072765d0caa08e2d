// The three global shortcuts of the running shell, pressed with xdotool while another
// application's window has the keyboard focus, on a real X server with a window manager
// (scripts/with-display) and a real audio server with a virtual microphone
// (scripts/with-audio).
#include "app/SidebarApp.h"
#include "features/focus/PomodoroTimer.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "platform/shortcuts/HeldGrab.h"
#include "platform/shortcuts/X11HotKeyBackend.h"
#include "workspace/ContentView.h"
#include "workspace/RecordingNotifications.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <memory>

// The machine may be busy with other tests: waits are generous, never the figure under test.
#define WAIT_FOR(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, 15000)

namespace {

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute("xdotool", arguments) == 0;
}


} // namespace

class TestShortcutsDesktop : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_otherWindow;
    std::unique_ptr<Preferences> m_prefs;
    std::unique_ptr<SidebarApp> m_app;

    void startShell(const QString& name)
    {
        m_prefs = std::make_unique<Preferences>(m_dir.filePath(name + ".sqlite"));
        Preferences::setStandard(m_prefs.get());
        m_prefs->setString("interfaceLanguage", "en");
        WorkspaceServices services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(m_dir.filePath(name + "-recordings"), nullptr);
        m_app = std::make_unique<SidebarApp>(m_prefs.get(), services);
        m_app->start();
        QVERIFY(QTest::qWaitForWindowExposed(m_app->window()));
        focusTheOtherApplication();
    }

    void stopShell()
    {
        m_app.reset();
        Preferences::setStandard(nullptr);
        m_prefs.reset();
    }

    // The keys go to another program's window, not to Tandrel's.
    void focusTheOtherApplication()
    {
        WAIT_FOR(xdotool({ "search", "--class", "Xmessage", "windowactivate", "--sync" }));
        WAIT_FOR(!QApplication::activeWindow());
    }

    PomodoroTimer* timer() const { return m_app->store()->timer(); }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        m_otherWindow.start("xmessage", { "another application" });
        QVERIFY(m_otherWindow.waitForStarted());
        startShell("shell");
        const ShortcutManager* shortcuts = m_app->shortcuts();
        QVERIFY(shortcuts->issues().isEmpty());
        for (const ShortcutAction action : { ShortcutAction::focus, ShortcutAction::recording, ShortcutAction::sidebar })
            QVERIFY(shortcuts->isActive(action));
    }

    void cleanupTestCase()
    {
        stopShell();
        m_otherWindow.kill();
        m_otherWindow.waitForFinished();
    }

    void theFocusShortcutStartsAndPausesTheTimer()
    {
        QVERIFY(!timer()->isRunning());
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        WAIT_FOR(timer()->isRunning());
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        WAIT_FOR(!timer()->isRunning());
    }

    void holdingTheKeysFiresOnce()
    {
        QVERIFY(!timer()->isRunning());
        QVERIFY(xdotool({ "keydown", "ctrl+alt+p" }));
        // Long enough for the server's auto-repeat to start.
        QTest::qWait(1500);
        QVERIFY(xdotool({ "keyup", "ctrl+alt+p" }));
        WAIT_FOR(timer()->isRunning());
        // A second delivery would have paused it again.
        QTest::qWait(500);
        QVERIFY(timer()->isRunning());
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        WAIT_FOR(!timer()->isRunning());
    }

    void numLockDoesNotMatter()
    {
        QVERIFY(xdotool({ "key", "Num_Lock" }));
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        WAIT_FOR(timer()->isRunning());
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        WAIT_FOR(!timer()->isRunning());
        QVERIFY(xdotool({ "key", "Num_Lock" }));
    }

    void theSidebarShortcutExpandsTheCollapsedSidebar()
    {
        SidebarWindowController* controller = m_app->windowController();
        controller->collapse(SidebarEdge::left);
        WAIT_FOR(!m_app->window()->isVisible());
        focusTheOtherApplication();
        QVERIFY(xdotool({ "key", "ctrl+alt+space" }));
        WAIT_FOR(!controller->isCollapsed());
        WAIT_FOR(m_app->window()->isVisible());
        WAIT_FOR(QApplication::activeWindow() == m_app->window());
        focusTheOtherApplication();
    }

    void theRecordingShortcutRecordsAndAttaches()
    {
        RecordingStore* recorder = m_app->store()->audio();
        QVERIFY(xdotool({ "key", "ctrl+alt+r" }));
        WAIT_FOR(recorder->isRecording());
        QVERIFY2(!recorder->errorMessage(), qPrintable(recorder->errorText()));
        QTest::qWait(1500);
        QVERIFY(xdotool({ "key", "ctrl+alt+r" }));
        WAIT_FOR(!recorder->isRecording());
        WAIT_FOR(m_app->store()->pages().size() == 1 && !m_app->store()->pages().first().attachments.isEmpty());
        const NotePage page = m_app->store()->pages().first();
        QCOMPARE(page.attachments.size(), 1);
        QVERIFY(page.content.contains("![[" + page.attachments.first().filename + "]]"));
        const auto recording = recorder->recording(page.attachments.first().filename);
        QVERIFY(recording);
        QVERIFY(QFileInfo(recording->path).size() > 1000);
    }

    void aCombinationHeldByAnotherProgramIsUnavailable()
    {
        stopShell();
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), { "--hold-grab" });
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine(), QByteArray("held\n"));

        startShell("second");
        const ShortcutManager* shortcuts = m_app->shortcuts();
        QCOMPARE(shortcuts->issues().value(ShortcutAction::recording), ShortcutIssue::unavailable);
        QVERIFY(!shortcuts->issues().contains(ShortcutAction::focus));
        QVERIFY(!shortcuts->issues().contains(ShortcutAction::sidebar));
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        WAIT_FOR(timer()->isRunning());
        m_app->windowController()->collapse(SidebarEdge::right);
        focusTheOtherApplication();
        QVERIFY(xdotool({ "key", "ctrl+alt+space" }));
        WAIT_FOR(!m_app->windowController()->isCollapsed());

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(holder.exitCode(), 0);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--hold-grab") == 0) {
        QGuiApplication app(argc, argv);
        return holdRecordingGrab();
    }
    QApplication app(argc, argv);
    TestShortcutsDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestShortcutsDesktop.moc"
