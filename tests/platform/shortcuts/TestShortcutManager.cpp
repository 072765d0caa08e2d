#include "platform/preferences/Preferences.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "support/ScriptedHotKeys.h"
#include "support/TemporaryProfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestShortcutManager : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;

    Preferences& fresh()
    {
        m_profile = std::make_unique<TemporaryProfile>();
        return *m_profile->preferences();
    }

private slots:
    void cleanup() { m_profile.reset(); }

    void olderFocusShortcut_data()
    {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<QString>("label");
        QTest::newRow("commandShiftT") << "commandShiftT" << QByteArray() << 17u << 9u << "T";
        QTest::newRow("unknown older value") << "controlT" << QByteArray() << 35u << 6u << "P";
        QTest::newRow("undecodable stored form")
            << "commandShiftT" << QByteArray("{not json") << 17u << 9u << "T";
    }
    void olderFocusShortcut()
    {
        QFETCH(QString, older);
        QFETCH(QByteArray, stored);
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(QString, label);
        Preferences& prefs = fresh();
        QVERIFY(prefs.setString("timerShortcut", older)
            && (stored.isEmpty() || prefs.setData("keyboardShortcuts.v1", stored)));
        ShortcutManager manager(&prefs, std::make_unique<ScriptedHotKeys>());
        QCOMPARE(manager.bindings().value(ShortcutAction::focus),
            (KeyboardShortcutBinding { keyCode, ShortcutModifiers(modifiers), label }));
        // The stored form other versions read.
        const QJsonObject written = QJsonDocument::fromJson(*prefs.data("keyboardShortcuts.v1")).object();
        const QJsonObject focus = written.value("focus").toObject();
        QCOMPARE(std::tuple(written.size(), focus.value("keyCode").toInt(), focus.value("modifiers").toInt()),
            std::tuple(qsizetype(3), int(keyCode), int(modifiers)));
        // "timerShortcut" is only ever read; unreadable data is kept aside, not lost.
        QCOMPARE(prefs.string("timerShortcut"), older);
        if (!stored.isEmpty())
            QCOMPARE(prefs.data("keyboardShortcuts.v1.unreadable"), stored);
    }

    // An invalid entry (no Control or Option) or a repeated one leaves its action unbound; an
    // action of another version is skipped.
    void storedFormIsTakenAsIs()
    {
        Preferences& prefs = fresh();
        const QByteArray stored = R"({"focus":{"keyCode":35,"modifiers":6,"keyLabel":"P"},)"
                                  R"("zoom":{"keyCode":1,"modifiers":6,"keyLabel":"S","v":2},)"
                                  R"("recording":{"keyCode":35,"modifiers":6,"keyLabel":"p"},)"
                                  R"("sidebar":{"keyCode":8,"modifiers":1,"keyLabel":"C"}})";
        QVERIFY(prefs.setString("timerShortcut", "commandShiftT")
            && prefs.setData("keyboardShortcuts.v1", stored));
        ShortcutManager manager(&prefs, std::make_unique<ScriptedHotKeys>());
        QCOMPARE(manager.bindings().keys(), QList<ShortcutAction> { ShortcutAction::focus });
        QCOMPARE(manager.bindings().value(ShortcutAction::focus),
            (KeyboardShortcutBinding { 35, ShortcutModifiers(6), "P" }));
        QCOMPARE(*prefs.data("keyboardShortcuts.v1"), stored);
        QCOMPARE(manager.displayTitle(ShortcutAction::sidebar), std::nullopt);
    }

    void connectRegistersOnceAndPerforms()
    {
        Preferences& prefs = fresh();
        auto* hotKeys = new ScriptedHotKeys;
        hotKeys->refuse.insert(ShortcutAction::recording);
        ShortcutManager manager(&prefs, std::unique_ptr<ScriptedHotKeys>(hotKeys));
        QMap<ShortcutAction, int> fired;
        const auto actions = [&](int weight) {
            ShortcutManager::Actions map;
            for (ShortcutAction action : ShortcutActions::allCases())
                map.insert(action, [&fired, action, weight] { fired[action] += weight; });
            return map;
        };

        // Nothing is registered before the content shows.
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

        // Showing the content again replaces the callbacks without registering again.
        manager.connectActions(actions(10));
        QCOMPARE(hotKeys->registered.size(), 2);
        hotKeys->press(ShortcutAction::focus);
        QCOMPARE(fired.value(ShortcutAction::focus), 11);

        m_profile->setLanguage("en");
        QCOMPARE(ShortcutIssues::message(ShortcutIssue::unavailable),
            QString("Could not register this shortcut. It may be in use by the system or another app. Choose "
                    "another."));
    }
};

QTEST_MAIN(TestShortcutManager)
#include "TestShortcutManager.moc"
