#pragma once

#include "core/AudioRecording.h"

#include <QDialog>
#include <QPointer>

#include <memory>

class FileRevealer;
class QLabel;
class QMessageBox;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QWidget;
class RecordingStore;
class WorkspaceStore;

// The recordings library: every local recording, newest first, with playback, "show in
// the file manager" and export to the vault. Closing it stops playback.
class RecordingLibraryDialog : public QDialog {
    Q_OBJECT
public:
    RecordingLibraryDialog(WorkspaceStore* store, std::shared_ptr<FileRevealer> revealer, QWidget* parent = nullptr);

    void retranslate();
    QMessageBox* messageAlert() const { return m_alert; }

    // Creation date and time as a row shows it, in the interface language.
    static QString formattedDate(const QDateTime& date);

protected:
    void done(int result) override;

private:
    void rebuildRows();
    void refreshPlayButtons();
    void showMessage();

    WorkspaceStore* m_store;
    RecordingStore* m_audio;
    std::shared_ptr<FileRevealer> m_revealer;
    QLabel* m_heading;
    QPushButton* m_doneButton;
    QScrollArea* m_scroll;
    QWidget* m_rows;
    QVBoxLayout* m_rowsLayout;
    QWidget* m_empty;
    QLabel* m_emptyTitle;
    QLabel* m_emptyPrompt;
    QLabel* m_emptyDetail;
    QPointer<QMessageBox> m_alert;
};
