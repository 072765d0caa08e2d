#pragma once

#include "core/NotePage.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class NoteTextEditor;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QToolButton;
class WorkspaceStore;

// The notes area: the page strip, the current page's header and the Markdown editor.
class NotesView : public QWidget {
    Q_OBJECT
public:
    explicit NotesView(WorkspaceStore* store, QWidget* parent = nullptr);

    void retranslate();
    // Asks for confirmation, then deletes the page. The dialog is window-modal.
    void confirmDeletePage(const QUuid& id);
    QMessageBox* pendingConfirmation() const { return m_confirmation; }

private:
    void rebuildStrip();
    void refreshPage();
    void refreshFooter();

    WorkspaceStore* m_store;
    QWidget* m_strip;
    QHBoxLayout* m_stripLayout;
    QToolButton* m_addPage;
    QLineEdit* m_title;
    QList<QToolButton*> m_swatches;
    QToolButton* m_deletePage;
    NoteTextEditor* m_editor;
    QLabel* m_footer;
    QPointer<QMessageBox> m_confirmation;
    QStringList m_stripSignature;
};
