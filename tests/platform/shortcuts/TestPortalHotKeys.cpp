#include "features/settings/ShortcutSettingsSection.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "support/FakeGlobalShortcutsPortal.h"
#include "support/TemporaryProfile.h"

#include <QLabel>
#include <QtTest>

// Global shortcuts in a Wayland session, against a portal on a private session bus.
class TestPortalHotKeys : public QObject {
    Q_OBJECT

private slots:
    void portal_data()
    {
        // 0: none, 1: offered, 2: the user declines "recording", 3: its desktop part fails
        QTest::addColumn<int>("portal");
        QTest::addColumn<QString>("recordingIssue"); // in the settings, where each action's problem shows
        QTest::newRow("bound") << 1 << "";
        QTest::newRow("declined by the user") << 2
                                              << "Could not register this shortcut. It may be in use by "
                                                 "the system or another app. Choose another.";
        const QString notOffered = "This Wayland desktop does not let apps register global shortcuts. Add a "
                                   "shortcut for the command tandrel --toggle-recording in your desktop’s "
                                   "keyboard settings.";
        QTest::newRow("no portal") << 0 << notOffered;
        QTest::newRow("no sessions") << 3 << notOffered;
    }
    void portal()
    {
        QFETCH(int, portal);
        QFETCH(QString, recordingIssue);
        TemporaryProfile profile("en");
        FakeGlobalShortcutsPortal fake(portal != 0);
        fake.declined = portal == 2 ? "recording" : "";
        fake.opensSessions = portal != 3;
        ShortcutManager manager(profile.preferences(), std::make_unique<PortalHotKeyBackend>());
        QMap<ShortcutAction, int> performed;
        ShortcutManager::Actions actions;
        for (ShortcutAction action : ShortcutActions::allCases())
            actions.insert(action, [&performed, action] { ++performed[action]; });
        if (portal == 0) // an unbound action is told how to have one too
            QVERIFY(!manager.setBinding(ShortcutAction::focus, std::nullopt));
        manager.connectActions(actions);
        ShortcutSettingsSection section(&manager);
        QTRY_COMPARE(section.findChild<QLabel*>("recordingShortcutIssue")->text(), recordingIssue);
        if (portal == 0 || portal == 3) {
            QCOMPARE(manager.issues().keys(), ShortcutActions::allCases());
            return;
        }
        QTRY_COMPARE(fake.triggers["sidebar"], QString("CTRL+ALT+space"));
        for (ShortcutAction action : ShortcutActions::allCases())
            fake.press(ShortcutActions::id(action));
        QTRY_COMPARE(performed.value(ShortcutAction::sidebar), 1);
        QCOMPARE(performed.value(ShortcutAction::recording), portal == 1 ? 1 : 0);
        // A new combination is a new session; a press in the old one is stale.
        const QString before = fake.session;
        const KeyboardShortcutBinding superShiftK { 40,
            ShortcutModifiers::of({ ShortcutModifiers::command, ShortcutModifiers::shift }), "K" };
        QVERIFY(!manager.setBinding(ShortcutAction::sidebar, superShiftK));
        QTRY_COMPARE(fake.triggers["sidebar"], QString("SHIFT+LOGO+k"));
        fake.press("sidebar", before);
        fake.press("focus");
        QTRY_COMPARE(performed.value(ShortcutAction::focus), 2);
        QCOMPARE(performed.value(ShortcutAction::sidebar), 1);
    }
};

QTEST_MAIN(TestPortalHotKeys)
#include "TestPortalHotKeys.moc"
