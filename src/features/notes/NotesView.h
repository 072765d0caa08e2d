#pragma once

#include "core/NotePage.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class MarkdownPreviewView;
class ModelManager;
class NoteTextEditor;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;
class SpeechModelDialog;
class WorkspaceStore;

// The notes area: the page strip, the current page's header, the Markdown editor or its
// preview, the page's recordings with their transcription state, files and footer.
class NotesView : public QWidget {
    Q_OBJECT
    // Whether the notes take the window's room; the window's layout owns it and sets it, the
    // expand / collapse control asks for the other state through expandedChanged.
    Q_PROPERTY(bool expanded READ isExpanded WRITE setExpanded NOTIFY expandedChanged)
public:
    // `models` installs the speech model from the transcription help; it must outlive the
    // view. Without one, the view makes its own on first use, on the standard models folder.
    explicit NotesView(WorkspaceStore* store, QWidget* parent = nullptr, ModelManager* models = nullptr);
    ~NotesView() override;

    void retranslate();
    // Asks for confirmation, then deletes the page. The dialog is window-modal.
    void confirmDeletePage(const QUuid& id);
    QMessageBox* pendingConfirmation() const { return m_confirmation; }

    // "语音识别帮助", offered by failed recordings. Window-modal.
    void showTranscriptionHelp();
    QMessageBox* transcriptionHelp() const { return m_transcriptionHelp; }
    // The speech model installer, opened from the transcription help.
    void showSpeechModels();
    SpeechModelDialog* speechModels() const;

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    bool isShowingPreview() const;
    void setShowingPreview(bool preview);

signals:
    void expandedChanged(bool expanded);

private:
    void rebuildStrip();
    void refreshPage();
    void refreshFooter();
    void rebuildRecordings();
    void refreshPlayButtons();
    void retranslateTranscriptionHelp();
    void refreshToggles();

    WorkspaceStore* m_store;
    QWidget* m_stripScroll;
    QWidget* m_strip;
    QHBoxLayout* m_stripLayout;
    QToolButton* m_addPage;
    QLineEdit* m_title;
    QList<QToolButton*> m_swatches;
    QToolButton* m_deletePage;
    QToolButton* m_previewToggle;
    QToolButton* m_expandToggle;
    bool m_expanded = false;
    QStackedWidget* m_body;
    NoteTextEditor* m_editor;
    MarkdownPreviewView* m_preview;
    // The page the editor shows; another page brings its own text and undo history.
    QUuid m_editorPage;
    QLabel* m_footer;
    QPushButton* m_exportButton;
    QPointer<QMessageBox> m_confirmation;
    QStringList m_stripSignature;

    QWidget* m_recordings;
    QVBoxLayout* m_recordingsLayout;
    // What the recording rows show; typing changes the pages but not the rows.
    QStringList m_recordingsSignature;
    ModelManager* m_models;
    QPointer<QMessageBox> m_transcriptionHelp;
    QPointer<SpeechModelDialog> m_speechModels;
};
