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

using Events = QList<std::pair<Qt::Key, Qt::KeyboardModifiers>>;
} // namespace

// Each section on the real store: what the user changes lands in the preferences store and
// the services, and what they report is shown.
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

    // The box shows what the desktop will do at login: the entry written and removed, or, when
    // it cannot be written, a sentence saying so and the box as it was.
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

    void desktopNotificationSettings_data()
    {
        QTest::addColumn<bool>("available");
        QTest::newRow("the desktop has a panel") << true;
        QTest::newRow("none") << false;
    }
    void desktopNotificationSettings()
    {
        QFETCH(bool, available);
        StoreHarness h;
        auto opener = std::make_shared<ScriptedOpener>();
        opener->available = available;
        SettingsView view(h.store.get(), nullptr, opener);
        view.show();
        auto* button = find<QAbstractButton>(view, "systemNotificationSettingsButton");
        QCOMPARE(button->isVisible(), available);
        if (available) {
            button->click();
            QCOMPARE(opener->opened, 1);
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
        QCOMPARE(issue->text(),
            QString("Could not import the calendar: "
                    "The calendar has an invalid year, date or source, or duplicate dates."));
        QVERIFY(!issue->isHidden());
        find<QAbstractButton>(view, "importCalendarButton")->click();
        QVERIFY(issue->isHidden());
        QVERIFY(find<QLabel>(view, "calendarDescription")->text().endsWith("Loaded: 2026、2027"));
        QCOMPARE(find<QAbstractButton>(view, "officialScheduleLink")->toolTip(), HolidayCalendar::officialNoticeURL());
    }

    void attachmentFolders_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("key");
        QTest::newRow("files") << "files" << "fileFolderID";
        QTest::newRow("recordings") << "recordings" << "recordingFolderID";
    }
    void attachmentFolders()
    {
        QFETCH(QString, kind);
        QFETCH(QString, key);
        StoreHarness h;
        SettingsView view(h.store.get());
        auto* path = find<QLabel>(view, qPrintable(kind + "FolderPath"));
        h.chooser->folders = { h.makeFolder("Chosen") };
        find<QAbstractButton>(view, qPrintable(kind + "FolderChooseButton"))->click();
        QCOMPARE(path->text(), h.path("Chosen"));
        QVERIFY(h.preferences()->string(key).has_value());
        find<QAbstractButton>(view, qPrintable(kind + "FolderResetButton"))->click();
        QCOMPARE(path->text(), QString("App's Local Folder"));
        QVERIFY(!h.preferences()->contains(key));
    }

    // A path that leaves the vault is refused with the reason and not stored.
    void vaultAndItsFolders_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("relative") << " Audio/Notes " << "Audio/Notes";
        QTest::newRow("parent folder") << "Audio/../.." << "";
        QTest::newRow("absolute") << "/tmp/Audio" << "";
    }
    void vaultAndItsFolders()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        StoreHarness h;
        SettingsView view(h.store.get());
        view.show();
        h.chooser->folders = { h.makeFolder("Vault") };
        find<QAbstractButton>(view, "chooseVaultButton")->click();
        QCOMPARE(find<QLabel>(view, "vaultPathLabel")->text(), h.path("Vault"));
        auto* field = find<QLineEdit>(view, "recordingExportPathField");
        field->setText(typed);
        emit field->editingFinished();
        QCOMPARE(h.preferences()->string("recordingExportPath"),
            stored.isEmpty() ? std::nullopt : std::optional(stored));
        QCOMPARE(find<QLabel>(view, "exportPathIssue")->isVisible(), stored.isEmpty());
        if (stored.isEmpty())
            QCOMPARE(find<QLabel>(view, "exportPathIssue")->text(),
                QString("Attachment paths must be relative to the vault "
                        "and cannot contain .. or empty folder names."));
        // And where new recordings and dropped files go.
        choose(find<QComboBox>(view, "fileDropDestinationPicker"), "Current Note");
        QCOMPARE(h.store->fileDropNoteDestination(), NoteDestination::currentNote);
    }

    void recordingAShortcut_data()
    {
        QTest::addColumn<Events>("keys");
        QTest::addColumn<bool>("held"); // another program holds the combination
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("issue");
        QTest::addColumn<QString>("stored"); // the sidebar's stored binding
        const auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
        const QString k = R"({"keyCode":40,"keyLabel":"K","modifiers":6})",
                      space = R"({"keyCode":49,"keyLabel":"Space","modifiers":6})";
        QTest::newRow("recorded") << Events { { Qt::Key_K, ctrlAlt } } << false << "⌃⌥K" << "" << k;
        QTest::newRow("held elsewhere") << Events { { Qt::Key_K, ctrlAlt } } << true << "⌃⌥K"
                                        << "Could not register this shortcut. It may be in use by the system "
                                           "or another app. Choose another."
                                        << k;
        QTest::newRow("duplicate") << Events { { Qt::Key_P, ctrlAlt } } << false << "Try Another…"
                                   << "This combination is already assigned to another action. "
                                      "Choose another."
                                   << space;
        QTest::newRow("shift only") << Events { { Qt::Key_K, Qt::ShiftModifier } } << false << "Try Another…"
                                    << "Include ⌘, ⌃ or ⌥ and avoid standard editing and system shortcuts."
                                    << space;
        QTest::newRow("Esc cancels") << Events { { Qt::Key_Escape, {} } } << false << "⌃⌥Space" << ""
                                     << space;
        QTest::newRow("Delete clears") << Events { { Qt::Key_Delete, {} } } << false << "Not Set" << "" << "";
    }
    void recordingAShortcut()
    {
        QFETCH(Events, keys);
        QFETCH(bool, held);
        QFETCH(QString, shown);
        QFETCH(QString, issue);
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
        for (const auto& [key, modifiers] : keys) {
            QTest::keyPress(field, key, modifiers);
            QTest::keyRelease(field, key, modifiers);
        }
        QCOMPARE(field->text(), shown);
        QCOMPARE(find<QLabel>(view, "sidebarShortcutIssue")->text(), issue);
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
