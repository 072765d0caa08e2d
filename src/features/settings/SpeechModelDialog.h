#pragma once

#include <QDialog>

#include <memory>

class FolderChooser;
class ModelManager;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

// Installs the newer speech engine's model: the known models with a download button each,
// the progress and cancellation of the running job, a model file chosen from disk, the
// installed model and the manager's last problem. Reads and drives a ModelManager that
// outlives it; a download goes on when the dialog is closed.
class SpeechModelDialog : public QDialog {
    Q_OBJECT
public:
    // `chooser` picks the model file (a file dialog when null) and must outlive the dialog.
    SpeechModelDialog(ModelManager* models, FolderChooser* chooser, QWidget* parent = nullptr);
    ~SpeechModelDialog() override;

    void retranslate();

private:
    void refresh();
    void chooseModelFile();

    ModelManager* m_models;
    FolderChooser* m_chooser;
    std::unique_ptr<FolderChooser> m_ownChooser;

    QLabel* m_status;
    QLabel* m_installed;
    QVBoxLayout* m_rows;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
    QPushButton* m_chooseFile;
    QLabel* m_message;
    QPushButton* m_done;
};
