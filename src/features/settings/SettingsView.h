#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class WorkspaceStore;

// The settings sheet: notification permission, where new recordings and dropped files go,
// and the Obsidian vault with its attachment folders. Edits go straight to the store and its services; the sheet holds no state.
class SettingsView : public QDialog {
    Q_OBJECT
public:
    explicit SettingsView(WorkspaceStore* store, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void refresh();

    WorkspaceStore* m_store;
    QLabel* m_title = nullptr;
    QPushButton* m_done = nullptr;
    QLabel* m_notificationsHeading = nullptr;
    QLabel* m_statusName = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_issue = nullptr;
    QPushButton* m_enable = nullptr;
    QLabel* m_destinationHeading = nullptr;
    QLabel* m_afterRecordingName = nullptr;
    QComboBox* m_afterRecording = nullptr;
    QLabel* m_droppedFilesName = nullptr;
    QComboBox* m_droppedFiles = nullptr;
    QLabel* m_destinationExplanation = nullptr;
    QLabel* m_vaultName = nullptr;
    QLabel* m_vaultPath = nullptr;
    QPushButton* m_chooseVault = nullptr;
    QLabel* m_fileFolderName = nullptr;
    QLineEdit* m_fileFolder = nullptr;
    QLabel* m_audioFolderName = nullptr;
    QLineEdit* m_audioFolder = nullptr;
    QLabel* m_folderHint = nullptr;
    QLabel* m_vaultExplanation = nullptr;
};
