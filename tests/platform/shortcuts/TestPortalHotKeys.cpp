#include "features/settings/ShortcutSettingsSection.h"
#include "platform/shortcuts/PortalHotKeyBackend.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "support/FakeGlobalShortcutsPortal.h"
#include "support/TemporaryProfile.h"

#include <QLabel>
#include <QtTest>

using Fired = QMap<ShortcutAction, int>;

// Global shortcuts in a Wayland session, against a portal on a private session bus.
class TestPortalHotKeys : public QObject {
    Q_OBJECT

private slots:
    void portal_data()
    {
        QTest::addColumn<bool>("offered");
        QTest::addColumn<QSet<QString>>("declined");
        QTest::addColumn<QString>("recordingIssue");
        QTest::addColumn<Fired>("fired"); // after a press of each action through the portal
        QTest::newRow("bound") << true << QSet<QString>() << ""
                               << Fired { { ShortcutAction::focus, 1 }, { ShortcutAction::recording, 1 },
                                      { ShortcutAction::sidebar, 1 } };
        QTest::newRow("declined by the user")
            << true << QSet<QString> { "recording" }
            << "Could not register this shortcut. It may be in use by the system or another app. Choose "
               "another."
            << Fired { { ShortcutAction::focus, 1 }, { ShortcutAction::sidebar, 1 } };
        QTest::newRow("no portal")
            << false << QSet<QString>()
            << "This Wayland desktop does not let apps register global shortcuts. Add a "
               "shortcut for the command tandrel --toggle-recording in your desktop’s "
               "keyboard settings."
            << Fired();
    }
    void portal()
    {
        QFETCH(bool, offered);
        QFETCH(QSet<QString>, declined);
        QFETCH(QString, recordingIssue);
        QFETCH(Fired, fired);
        TemporaryProfile profile;
        profile.setLanguage("en");
        FakeGlobalShortcutsPortal portal(offered);
        portal.decline = declined;
        ShortcutManager manager(profile.preferences(), std::make_unique<PortalHotKeyBackend>());
        Fired performed;
        ShortcutManager::Actions actions;
        for (ShortcutAction action : ShortcutActions::allCases())
            actions.insert(action, [&performed, action] { ++performed[action]; });
        if (!offered)
            QVERIFY(!manager.setBinding(ShortcutAction::focus, std::nullopt));
        manager.connectActions(actions);
        ShortcutSettingsSection section(&manager);
        auto* issue = section.findChild<QLabel*>("recordingShortcutIssue");
        if (offered) {
            QTRY_VERIFY(!portal.session.isEmpty());
            QCOMPARE(portal.triggers["sidebar"], QString("CTRL+ALT+space"));
        }
        QTRY_COMPARE(issue->text(), recordingIssue);
        if (!offered) {
            // Every action, bound or not, says how to have it without the portal.
            QCOMPARE(manager.issues().keys(), ShortcutActions::allCases());
            return;
        }
        for (ShortcutAction action : ShortcutActions::allCases())
            portal.press(ShortcutActions::id(action));
        QTRY_COMPARE(performed, fired);

        // A new combination is a new session; presses of the old one are stale.
        const QString before = portal.session;
        QVERIFY(!manager.setBinding(ShortcutAction::sidebar,
            KeyboardShortcutBinding {
                40, ShortcutModifiers::of({ ShortcutModifiers::command, ShortcutModifiers::shift }), "K" }));
        QTRY_COMPARE(portal.triggers["sidebar"], QString("SHIFT+LOGO+k"));
        portal.press("sidebar", before);
        portal.press("focus");
        QTRY_COMPARE(performed.value(ShortcutAction::focus), 2);
        QCOMPARE(performed.value(ShortcutAction::sidebar), 1);
    }
};

QTEST_MAIN(TestPortalHotKeys)
#include "TestPortalHotKeys.moc"
