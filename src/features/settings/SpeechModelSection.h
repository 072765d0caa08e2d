#pragma once

#include <QWidget>

#include <memory>

class FolderChooser;
class ModelManager;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

// The speech model part of the transcription settings: the installed model, the catalogue
// with sizes (the recommended one marked, and why), where downloads come from (automatic,
// one of the known sources, or the user's own), a download's progress with Cancel, a
// model file chosen from disk, and removing an installed model. Reads and drives a
// ModelManager that outlives it; a download goes on when the section goes.
class SpeechModelSection : public QWidget {
    Q_OBJECT
public:
    // `chooser` picks the model file (a file dialog when null) and must outlive the section.
    SpeechModelSection(ModelManager* models, FolderChooser* chooser, QWidget* parent = nullptr);
    ~SpeechModelSection() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void refresh();
    void refreshSources();
    void chooseModelFile();
    void useCustomSource();

    ModelManager* m_models;
    FolderChooser* m_chooser;
    std::unique_ptr<FolderChooser> m_ownChooser;

    QLabel* m_status;
    QLabel* m_installed;
    QVBoxLayout* m_rows;
    QLabel* m_recommendation;
    QLabel* m_sourceLabel;
    QComboBox* m_source;
    QLineEdit* m_customSource;
    QPushButton* m_useCustomSource;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
    QPushButton* m_chooseFile;
    QLabel* m_message;
};
