#pragma once

#include <QStringList>
#include <QWidget>

class QProgressBar;
class QVBoxLayout;
class WorkspaceStore;

// The current page's attached files, one button each that opens the file, and the
// progress of a dropped file's copy while it takes long enough to be noticed.
class NoteFilesView : public QWidget {
    Q_OBJECT
public:
    explicit NoteFilesView(WorkspaceStore* store, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void rebuild();
    void refreshProgress();

    WorkspaceStore* m_store;
    QWidget* m_list;
    QVBoxLayout* m_rows;
    QProgressBar* m_progress;
    // What the rows show; typing changes the pages but not the rows.
    QStringList m_signature;
};
