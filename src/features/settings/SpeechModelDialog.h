#pragma once

#include <QDialog>

class FolderChooser;
class ModelManager;
class QPushButton;
class SpeechModelSection;

// The speech model section of the settings in a window of its own, for the transcription
// help of a failed recording. A download goes on when the window is closed.
class SpeechModelDialog : public QDialog {
    Q_OBJECT
public:
    // `chooser` picks the model file (a file dialog when null) and must outlive the dialog.
    SpeechModelDialog(ModelManager* models, FolderChooser* chooser, QWidget* parent = nullptr);

    void retranslate();
    SpeechModelSection* section() const { return m_section; }

private:
    SpeechModelSection* m_section;
    QPushButton* m_done;
};
