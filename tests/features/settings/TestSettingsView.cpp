#include "features/calendar/HolidayCalendar.h"
#include "features/settings/SettingsView.h"
#include "platform/notifications/NotificationSettingsOpener.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "support/ScriptedHotKeys.h"
#include "support/StoreHarness.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

namespace {
struct ScriptedOpener : NotificationSettingsOpener {
    bool available = true;
    int opened = 0;
    bool isAvailable() const override { return available; }
    bool open() override { return ++opened; }
};
} // namespace

// Each section on the real store: choices are stored, and what the services report is shown.
class TestSettingsView : public QObject {
    Q_OBJECT

    template <typename T> static T* find(QWidget& view, const char* name)
    {
        T* widget = view.findChild<T*>(name);
        if (!widget)
            qFatal("no %s", name);
        return widget;
    }
    static void choose(QComboBox* picker, const QString& text)
    {
        picker->setCurrentIndex(picker->findText(text));
        emit picker->activated(picker->currentIndex());
    }

private slots:
    void choicesAreStored_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("choice"); // a picker's item, or empty for a button
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::newRow("interface language")
            << "interfaceLanguagePicker" << "简体中文" << "interfaceLanguage" << "zh-Hans";
        QTest::newRow("dark") << "appearance_dark" << "" << "appearanceMode" << "dark";
        QTest::newRow("light") << "appearance_light" << "" << "appearanceMode" << "light";
        QTest::newRow("recognition language")
            << "speechLanguagePicker" << "English" << "speechLanguage" << "en-US";
    }
    void choicesAreStored()
    {
        QFETCH(QString, control);
        QFETCH(QString, choice);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        StoreHarness h;
        SettingsView view(h.store.get());
        if (choice.isEmpty())
            find<QAbstractButton>(view, qPrintable(control))->click();
        else
            choose(find<QComboBox>(view, qPrintable(control)), choice);
        QCOMPARE(h.preferences()->string(key), stored);
        // The window follows the stored value, whoever wrote it.
        QVERIFY(h.preferences()->setString(key, QString("system")));
        if (choice.isEmpty())
            QVERIFY(find<QAbstractButton>(view, "appearance_system")->isChecked());
        else if (key == "interfaceLanguage")
            QTRY_COMPARE(view.windowTitle(), QString("Settings"));
        else
            QCOMPARE(find<QComboBox>(view, qPrintable(control))->currentText(), QString("Mandarin Chinese"));
    }

    // Keyboard and screen readers reach every control by a name; icon-only ones explain themselves.
    void everyControlIsNamed()
    {
        StoreHarness h;
        ShortcutManager shortcuts(h.preferences(), std::make_unique<ScriptedHotKeys>());
        SettingsView view(h.store.get(), &shortcuts);
        for (QWidget* control : view.findChildren<QWidget*>()) {
            if (control->focusPolicy() == Qt::NoFocus || control->inherits("QScrollBar")
                || control->inherits("QAbstractScrollArea"))
                continue;
            auto* button = qobject_cast<QAbstractButton*>(control);
            const bool iconOnly = button && button->text().isEmpty();
            // A button's text is its accessible name unless it has another.
            const bool named = !control->accessibleName().isEmpty() || (button && !iconOnly);
            QVERIFY2(!control->objectName().isEmpty() && named && (!iconOnly || !control->toolTip().isEmpty()),
                qPrintable(control->objectName() + " " + control->metaObject()->className()));
        }
    }

    // The box shows what the desktop will do at login, or why the entry could not be written.
    void startAtLogin()
    {
        QTemporaryDir config;
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&saved] { qputenv("XDG_CONFIG_HOME", saved); });
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        QVERIFY(QFile(config.filePath("autostart")).open(QIODevice::WriteOnly)); // where the folder goes
        StoreHarness h;
        SettingsView view(h.store.get());
        auto* box = find<QCheckBox>(view, "startAtLoginCheckBox");
        auto* issue = find<QLabel>(view, "startAtLoginIssue");
        const QString entry = config.filePath("autostart/io.github.tandrel.Tandrel.desktop");
        box->click();
        QVERIFY(!box->isChecked() && !issue->isHidden() && issue->text().contains(entry));
        QVERIFY(QFile::remove(config.filePath("autostart")));
        box->click();
        QVERIFY(box->isChecked() && QFile::exists(entry) && issue->isHidden());
        box->click();
        QVERIFY(!box->isChecked() && !QFile::exists(entry));
    }

    // The desktop's own notification panel is offered only where there is one.
    void desktopNotificationSettings()
    {
        for (const bool available : { true, false }) {
            StoreHarness h;
            auto opener = std::make_shared<ScriptedOpener>();
            opener->available = available;
            SettingsView view(h.store.get(), nullptr, opener);
            view.show();
            auto* button = find<QAbstractButton>(view, "systemNotificationSettingsButton");
            QCOMPARE(button->isVisible(), available);
            if (available)
                button->click();
            QCOMPARE(opener->opened, int(available));
        }
    }

    // A failed import says why until the next one succeeds.
    void calendarImport()
    {
        StoreHarness h;
        SettingsView view(h.store.get());
        auto* issue = find<QLabel>(view, "calendarIssue");
        const QByteArray foreignDay = R"([{"date":"2026-12-31","isOff":true,"name":"x"}])";
        const QByteArray year = R"({"year":2027,"source":"x","days":)";
        h.chooser->files = { h.writeFile("bad.json", year + foreignDay + '}'),
            h.writeFile("good.json", year + "[]}") };
        find<QAbstractButton>(view, "importCalendarButton")->click();
        QVERIFY(!issue->isHidden() && issue->text().startsWith("Could not import the calendar: "));
        find<QAbstractButton>(view, "importCalendarButton")->click();
        QVERIFY(issue->isHidden());
        QVERIFY(find<QLabel>(view, "calendarDescription")->text().endsWith("Loaded: 2026、2027"));
        QCOMPARE(find<QAbstractButton>(view, "officialScheduleLink")->toolTip(), HolidayCalendar::officialNoticeURL());
    }

    // Folders chosen and reset; a path leaving the vault is refused (which ones: the storage test).
    void foldersAndTheVault()
    {
        StoreHarness h;
        SettingsView view(h.store.get());
        view.show();
        h.chooser->folders = { h.makeFolder("Chosen"), h.makeFolder("Chosen"), h.makeFolder("Vault") };
        for (const QString& kind : { QString("files"), QString("recordings") }) {
            const QString key = kind == "files" ? "fileFolderID" : "recordingFolderID";
            auto* path = find<QLabel>(view, qPrintable(kind + "FolderPath"));
            find<QAbstractButton>(view, qPrintable(kind + "FolderChooseButton"))->click();
            QVERIFY2(path->text() == h.path("Chosen") && h.preferences()->contains(key), qPrintable(kind));
            find<QAbstractButton>(view, qPrintable(kind + "FolderResetButton"))->click();
            QVERIFY2(
                path->text() == "App's Local Folder" && !h.preferences()->contains(key), qPrintable(kind));
        }
        find<QAbstractButton>(view, "chooseVaultButton")->click();
        QCOMPARE(find<QLabel>(view, "vaultPathLabel")->text(), h.path("Vault"));
        auto* field = find<QLineEdit>(view, "recordingExportPathField");
        auto* issue = find<QLabel>(view, "exportPathIssue");
        field->setText("Audio/../..");
        emit field->editingFinished();
        QVERIFY(issue->isVisible() && !h.preferences()->contains("recordingExportPath"));
        QCOMPARE(issue->text(), StorageLocations::checkExportPath(field->text())->text());
        field->setText(" Audio/Notes ");
        emit field->editingFinished();
        QCOMPARE(h.preferences()->string("recordingExportPath"), QString("Audio/Notes"));
        QVERIFY(!issue->isVisible());
        choose(find<QComboBox>(view, "fileDropDestinationPicker"), "Current Note");
        QCOMPARE(h.store->fileDropNoteDestination(), NoteDestination::currentNote);
    }

    void recordingAShortcut_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("held"); // another program holds the combination
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("issue"); // a ShortcutIssue, -1: none
        QTest::addColumn<QString>("stored"); // the sidebar's stored binding
        const QString k = R"({"keyCode":40,"keyLabel":"K","modifiers":6})",
                      space = R"({"keyCode":49,"keyLabel":"Space","modifiers":6})", again = "Try Another…";
        const QKeySequence ctrlAltK(Qt::CTRL | Qt::ALT | Qt::Key_K);
        QTest::newRow("recorded") << ctrlAltK << false << "⌃⌥K" << -1 << k;
        QTest::newRow("held elsewhere") << ctrlAltK << true << "⌃⌥K" << int(ShortcutIssue::unavailable) << k;
        QTest::newRow("duplicate") << QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_P) << false << again
                                   << int(ShortcutIssue::duplicate) << space;
        QTest::newRow("shift only") << QKeySequence(Qt::SHIFT | Qt::Key_K) << false << again
                                    << int(ShortcutIssue::invalid) << space;
        QTest::newRow("Esc cancels") << QKeySequence(Qt::Key_Escape) << false << "⌃⌥Space" << -1 << space;
        QTest::newRow("Delete clears") << QKeySequence(Qt::Key_Delete) << false << "Not Set" << -1 << "";
    }
    void recordingAShortcut()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(bool, held);
        QFETCH(QString, shown);
        QFETCH(int, issue);
        QFETCH(QString, stored);
        StoreHarness h;
        auto* hotKeys = new ScriptedHotKeys;
        ShortcutManager shortcuts(h.preferences(), std::unique_ptr<HotKeyRegistering>(hotKeys));
        int expanded = 0;
        shortcuts.connectActions({ { ShortcutAction::sidebar, [&] { ++expanded; } } });
        SettingsView view(h.store.get(), &shortcuts);
        view.show();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        auto* field = find<QAbstractButton>(view, "sidebarShortcutField");
        field->click();
        // While recording no hot key is held.
        hotKeys->press(ShortcutAction::sidebar);
        QCOMPARE(expanded, 0);
        if (held)
            hotKeys->refuse = { ShortcutAction::sidebar };
        QTest::keySequence(field, keys);
        QCOMPARE(field->text(), shown);
        QCOMPARE(find<QLabel>(view, "sidebarShortcutIssue")->text(),
            issue < 0 ? QString() : ShortcutIssues::message(ShortcutIssue(issue)));
        const auto object
            = QJsonDocument::fromJson(h.preferences()->data("keyboardShortcuts.v1").value_or("")).object();
        const QJsonDocument sidebar(object["sidebar"].toObject());
        QCOMPARE(object.contains("sidebar") ? sidebar.toJson(QJsonDocument::Compact) : QByteArray(),
            stored.toUtf8());
        QTest::keyClick(field, Qt::Key_Escape);
        hotKeys->press(ShortcutAction::sidebar);
        QCOMPARE(expanded, stored.isEmpty() || held ? 0 : 1);
        find<QAbstractButton>(view, "restoreDefaultShortcutsButton")->click();
        QCOMPARE(field->text(), QString("⌃⌥Space"));
        QCOMPARE(shortcuts.bindings().value(ShortcutAction::sidebar),
            KeyboardShortcutBinding::defaults(ShortcutAction::sidebar));
    }
};

QTEST_MAIN(TestSettingsView)
#include "TestSettingsView.moc"
