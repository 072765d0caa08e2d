// A global shortcut pressed while another program has the focus: the window manager must
// hand the focus back (grabs and actions are unit-tested).
#include "platform/shortcuts/ShortcutManager.h"
#include "support/ShellHarness.h"

#include <QApplication>
#include <QProcess>
#include <QtTest>

#include <memory>

// The machine may be busy with other tests: waits are generous, never the figure under test.
#define WAIT_FOR(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, 15000)

class TestShortcutsDesktop : public QObject {
    Q_OBJECT

    QProcess m_otherWindow;
    std::unique_ptr<ShellHarness> m_shell;
    SidebarApp* m_app = nullptr;

    static bool xdotool(const QStringList& arguments) { return QProcess::execute("xdotool", arguments) == 0; }

    // The keys go to another program's window, not to Tandrel's.
    void focusTheOtherApplication()
    {
        WAIT_FOR(xdotool({ "search", "--class", "Xmessage", "windowactivate", "--sync" }));
        WAIT_FOR(!QApplication::activeWindow());
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        m_otherWindow.start("xmessage", { "another application" });
        QVERIFY(m_otherWindow.waitForStarted());
        m_shell = std::make_unique<ShellHarness>("en", nullptr);
        m_app = m_shell->app.get();
        m_app->start();
        QVERIFY(QTest::qWaitForWindowExposed(m_app->window()));
        focusTheOtherApplication();
        QVERIFY(m_app->shortcuts()->issues().isEmpty());
    }

    void cleanupTestCase()
    {
        m_shell.reset();
        m_otherWindow.kill();
        m_otherWindow.waitForFinished();
    }

    void theSidebarShortcutExpandsTheCollapsedSidebar()
    {
        SidebarWindowController* controller = m_app->windowController();
        controller->collapse(SidebarEdge::left);
        WAIT_FOR(!m_app->window()->isVisible());
        focusTheOtherApplication();
        QVERIFY(xdotool({ "key", "ctrl+alt+space" }));
        WAIT_FOR(!controller->isCollapsed() && QApplication::activeWindow() == m_app->window());
        focusTheOtherApplication();
    }
};

QTEST_MAIN(TestShortcutsDesktop)
#include "TestShortcutsDesktop.moc"
