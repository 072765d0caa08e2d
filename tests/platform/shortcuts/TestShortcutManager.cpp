#include "platform/preferences/Preferences.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "support/ScriptedHotKeys.h"
#include "support/TemporaryProfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestShortcutManager : public QObject {
    Q_OBJECT

private slots:
    // A readable stored form is taken as is: an invalid entry (no Control or Option) or a repeated one
    // leaves its action unbound, another version's action is skipped. Otherwise the older focus shortcut
    // is carried over (an unknown one gives the default) and written in the form other versions read,
    // undecodable data kept aside. "timerShortcut" is only ever read.
    void storedShortcuts_data()
    {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("commandShiftT") << "commandShiftT" << QByteArray();
        QTest::newRow("unknown older value") << "controlT" << QByteArray();
        QTest::newRow("undecodable stored form") << "commandShiftT" << QByteArray("{not json");
        QTest::newRow("stored form") << "commandShiftT"
                                     << QByteArray(
                                            R"({"focus":{"keyCode":35,"modifiers":6,"keyLabel":"P"},)"
                                            R"("zoom":{"keyCode":1,"modifiers":6,"keyLabel":"S","v":2},)"
                                            R"("recording":{"keyCode":35,"modifiers":6,"keyLabel":"p"},)"
                                            R"("sidebar":{"keyCode":8,"modifiers":1,"keyLabel":"C"}})");
    }
    void storedShortcuts()
    {
        QFETCH(QString, older);
        QFETCH(QByteArray, stored);
        TemporaryProfile profile;
        Preferences& prefs = *profile.preferences();
        QVERIFY(prefs.setString("timerShortcut", older)
            && (stored.isEmpty() || prefs.setData("keyboardShortcuts.v1", stored)));
        ShortcutManager manager(&prefs, std::make_unique<ScriptedHotKeys>());
        const bool readable = stored.startsWith("{\"");
        const KeyboardShortcutBinding expected = older == "controlT" || readable
            ? KeyboardShortcutBinding { 35, ShortcutModifiers(6), "P" }
            : KeyboardShortcutBinding { 17, ShortcutModifiers(9), "T" };
        QCOMPARE(manager.bindings().value(ShortcutAction::focus), expected);
        QCOMPARE(prefs.string("timerShortcut"), older);
        if (readable) {
            QCOMPARE(manager.bindings().keys(), QList<ShortcutAction> { ShortcutAction::focus });
            QCOMPARE(*prefs.data("keyboardShortcuts.v1"), stored);
            return;
        }
        const QJsonObject written = QJsonDocument::fromJson(*prefs.data("keyboardShortcuts.v1")).object();
        const QJsonObject focus = written.value("focus").toObject();
        QCOMPARE(std::tuple(written.size(), focus.value("keyCode").toInt(), focus.value("modifiers").toInt()),
            std::tuple(qsizetype(3), int(expected.keyCode), int(expected.modifiers.rawValue())));
        QCOMPARE(prefs.data("keyboardShortcuts.v1.unreadable"),
            stored.isEmpty() ? std::nullopt : std::optional(stored));
    }

    // Registered once the content shows; showing it again replaces the callbacks, registering nothing.
    void connectRegistersOnceAndPerforms()
    {
        TemporaryProfile profile;
        auto* hotKeys = new ScriptedHotKeys;
        hotKeys->refuse.insert(ShortcutAction::recording);
        ShortcutManager manager(profile.preferences(), std::unique_ptr<ScriptedHotKeys>(hotKeys));
        QMap<ShortcutAction, int> fired;
        const auto actions = [&](int weight) {
            ShortcutManager::Actions map;
            for (ShortcutAction action : ShortcutActions::allCases())
                map.insert(action, [&fired, action, weight] { fired[action] += weight; });
            return map;
        };
        hotKeys->press(ShortcutAction::focus);
        QVERIFY(fired.isEmpty() && hotKeys->registered.isEmpty());
        manager.connectActions(actions(1));
        QCOMPARE(hotKeys->registered.size(), 2);
        QCOMPARE(manager.issues(),
            (QMap<ShortcutAction, ShortcutIssue> {
                { ShortcutAction::recording, ShortcutIssue::unavailable } }));
        QVERIFY(manager.isActive(ShortcutAction::focus) && !manager.isActive(ShortcutAction::recording));
        for (ShortcutAction action : ShortcutActions::allCases())
            hotKeys->press(action);
        QCOMPARE(fired,
            (QMap<ShortcutAction, int> { { ShortcutAction::focus, 1 }, { ShortcutAction::sidebar, 1 } }));
        manager.connectActions(actions(10));
        QCOMPARE(hotKeys->registered.size(), 2);
        hotKeys->press(ShortcutAction::focus);
        QCOMPARE(fired.value(ShortcutAction::focus), 11);
    }
};

QTEST_MAIN(TestShortcutManager)
#include "TestShortcutManager.moc"
