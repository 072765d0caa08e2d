#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class NotesView;
class NotificationIssueView;
class PomodoroView;
class Preferences;
class QLabel;
class QHBoxLayout;
class QSplitter;
class RecordingView;
class SidebarWindowController;
class TaskListView;
class WorkspaceStore;

// Everything inside the sidebar window: the header, the task card and the notes area
// with a divider whose position is remembered as a ratio, and the store's message alert.
class ContentView : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(WorkspaceStore* store, QWidget* parent = nullptr);

    void retranslate();
    // Adds the window's pin, collapse and settings buttons to the header.
    void setWindowController(SidebarWindowController* controller);
    QMessageBox* messageAlert() const { return m_alert; }
    // The timer panel, for binding the focus shortcut shown in its help.
    PomodoroView* timerPanel() const { return m_timerPanel; }

    // Height of the task card for the space `available` and the stored ratio.
    static int taskCardHeight(int available, double ratio);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showMessage();
    void showSettings();
    void applyPaneRatio();
    double paneRatio() const;

    WorkspaceStore* m_store;
    Preferences* m_defaults;
    QLabel* m_title;
    QHBoxLayout* m_headerRow;
    QSplitter* m_panes;
    TaskListView* m_tasks;
    NotesView* m_notes;
    PomodoroView* m_timerPanel;
    RecordingView* m_recordingPanel;
    NotificationIssueView* m_notificationIssue;
    bool m_shownOnce = false;
    QPointer<QMessageBox> m_alert;
    bool m_applyingRatio = false;
};
