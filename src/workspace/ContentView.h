#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class NotesView;
class Preferences;
class QLabel;
class QSplitter;
class TaskListView;
class WorkspaceStore;

// Everything inside the sidebar window: the header, the task card and the notes area
// with a divider whose position is remembered as a ratio, and the store's message alert.
class ContentView : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(WorkspaceStore* store, QWidget* parent = nullptr);

    void retranslate();
    QMessageBox* messageAlert() const { return m_alert; }

    // Height of the task card for the space `available` and the stored ratio.
    static int taskCardHeight(int available, double ratio);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showMessage();
    void applyPaneRatio();
    double paneRatio() const;

    WorkspaceStore* m_store;
    Preferences* m_defaults;
    QLabel* m_title;
    QSplitter* m_panes;
    TaskListView* m_tasks;
    NotesView* m_notes;
    QPointer<QMessageBox> m_alert;
    bool m_applyingRatio = false;
};
