// The three global shortcuts of the running shell, pressed with xdotool while another
// application's window has the keyboard focus, on a real X server with a window manager
// (scripts/with-display) and a real audio server with a virtual microphone
// (scripts/with-audio).
#include "features/focus/PomodoroTimer.h"
#include "platform/shortcuts/HeldGrab.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "support/ShellHarness.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <xcb/xcb.h>

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

// Counts the key presses and releases the X server delivers to this program.
struct KeyEvents : QAbstractNativeEventFilter {
    int presses = 0;
    int releases = 0;
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type == "xcb_generic_event_t") {
            const uint8_t kind = static_cast<xcb_generic_event_t*>(message)->response_type & ~0x80;
            presses += kind == XCB_KEY_PRESS;
            releases += kind == XCB_KEY_RELEASE;
        }
        return false;
    }
};

} // namespace

class TestShortcutsDesktop : public QObject {
    Q_OBJECT

    QProcess m_otherWindow;
    std::unique_ptr<ShellHarness> m_shell;
    SidebarApp* m_app = nullptr;

    void startShell()
    {
        m_shell = std::make_unique<ShellHarness>("en", nullptr);
        m_app = m_shell->app.get();
        m_app->start();
        QVERIFY(QTest::qWaitForWindowExposed(m_app->window()));
        focusTheOtherApplication();
    }

    void stopShell()
    {
        m_shell.reset();
        m_app = nullptr;
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
        startShell();
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
        KeyEvents keys;
        qApp->installNativeEventFilter(&keys);
        QVERIFY(xdotool({ "keydown", "ctrl+alt+p" }));
        // Held until the server's auto-repeat has delivered more presses.
        WAIT_FOR(keys.presses >= 3);
        QVERIFY(xdotool({ "keyup", "ctrl+alt+p" }));
        WAIT_FOR(keys.releases >= keys.presses);
        qApp->removeNativeEventFilter(&keys);
        // A second delivery would have paused it again.
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
        WAIT_FOR(recorder->elapsed() >= 1.0);
        QVERIFY(xdotool({ "key", "ctrl+alt+r" }));
        WAIT_FOR(!recorder->isRecording());
        WAIT_FOR(m_app->store()->pages().size() == 1);
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

        startShell();
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
