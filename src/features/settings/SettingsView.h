#pragma once

#include <QDialog>
#include <QMap>
#include <QPointer>

#include <memory>

class AutostartEntry;
class NotificationSettingsOpener;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class ShortcutManager;
class WorkspaceStore;

// The settings window, a top-level window of its own (not modal): the interface language,
// appearance, notifications, where new recordings and dropped files go, the recognition
// language, the holiday calendar, the local attachment folders, the Obsidian vault, the
// global shortcuts (when a manager is given), starting at login, a word about the program
// and a way to quit. Edits go straight to the preferences and the services; the window
// holds no state of its own.
class SettingsView : public QDialog {
    Q_OBJECT
public:
    explicit SettingsView(WorkspaceStore* store, ShortcutManager* shortcuts = nullptr,
        std::shared_ptr<NotificationSettingsOpener> notificationSettings = {}, QWidget* parent = nullptr);
    ~SettingsView() override;

signals:
    // "Quit Tandrel".
    void quitRequested();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildLanguageSections(QVBoxLayout* layout);
    void buildStartupSection(QVBoxLayout* layout);
    void buildNotificationSection(QVBoxLayout* layout);
    void buildDestinationSection(QVBoxLayout* layout);
    void buildTranscriptionSection(QVBoxLayout* layout);
    void buildHolidaySection(QVBoxLayout* layout);
    void buildStorageSection(QVBoxLayout* layout);
    void buildVaultSection(QVBoxLayout* layout);
    void retranslate();
    void refresh();
    void preferenceChanged(const QString& key);
    void exportPathEdited(QLineEdit* field);
    void startAtLoginToggled(bool enabled);

    WorkspaceStore* m_store;
    std::shared_ptr<NotificationSettingsOpener> m_notificationSettings;
    // Labels and buttons with fixed texts, by their Chinese text.
    QMap<QWidget*, QString> m_texts;
    QLabel* m_title = nullptr;
    QPushButton* m_done = nullptr;
    QComboBox* m_language = nullptr;
    QButtonGroup* m_appearance = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_issue = nullptr;
    QPushButton* m_enable = nullptr;
    QPushButton* m_systemNotificationSettings = nullptr;
    QComboBox* m_afterRecording = nullptr;
    QComboBox* m_droppedFiles = nullptr;
    QComboBox* m_speechLanguage = nullptr;
    QLabel* m_calendarDescription = nullptr;
    QPushButton* m_importCalendar = nullptr;
    QPushButton* m_scheduleLink = nullptr;
    QLabel* m_calendarIssue = nullptr;
    struct StorageRow {
        QLabel* title = nullptr;
        QLabel* path = nullptr;
        QPushButton* choose = nullptr;
        QPushButton* reset = nullptr;
    };
    QList<StorageRow> m_storageRows;
    QLabel* m_storageIssue = nullptr;
    QLabel* m_vaultPath = nullptr;
    QPushButton* m_chooseVault = nullptr;
    QLineEdit* m_fileFolder = nullptr;
    QLineEdit* m_audioFolder = nullptr;
    QLabel* m_exportPathIssue = nullptr;
    std::unique_ptr<AutostartEntry> m_autostart;
    QCheckBox* m_startAtLogin = nullptr;
    QLabel* m_startAtLoginIssue = nullptr;
    QPushButton* m_quit = nullptr;
};
