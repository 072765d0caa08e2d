#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "TaskPaneSizing.h"

class Appearance;
class FileDropHint;
class PaneResizeHandle;
class SidebarHeaderButtons;
class NotesView;
class NotificationIssueView;
class PomodoroView;
class Preferences;
class QLabel;
class QHBoxLayout;
class QVBoxLayout;
class RecordingView;
class SidebarWindowController;
class TaskListView;
class WorkspaceStore;

// Everything inside the sidebar window: the header, the timer and the recorder, the task card
// and the notes area with a divider whose position is remembered as a ratio, the notification
// and vault lines, the store's message alert, and the application's light or dark look.
class ContentView : public QWidget {
    Q_OBJECT
public:
    // The window's surface alone, so that it can be shown before the data is opened and any
    // text is laid out (the first layout loads the fonts); attach() adds the rest.
    explicit ContentView(Preferences* preferences, QWidget* parent = nullptr);
    // The whole window, at once.
    explicit ContentView(WorkspaceStore* store, QWidget* parent = nullptr);

    // Adds the header and the timer, recorder, task and notes panels for `store`, whose
    // preferences are the window's; does nothing once they exist.
    void attach(WorkspaceStore* store);
    bool hasPanels() const { return m_panes != nullptr; }

    void retranslate();
    // Adds the window's pin, collapse and settings buttons to the header.
    void setWindowController(SidebarWindowController* controller);
    QMessageBox* messageAlert() const { return m_alert; }
    // Opens the settings sheet (the header's settings button, the notification line).
    void showSettings();
    // The timer panel, for binding the focus shortcut shown in its help; null until the
    // panels are built.
    PomodoroView* timerPanel() const { return m_timerPanel; }

    // The notes take the whole area below the timer, which with the recorder shrinks to a
    // line, and a one-line card stands for the tasks.
    void setNotesExpanded(bool expanded);
    bool notesExpanded() const { return m_notesExpanded; }
    Appearance* appearance() const { return m_appearance; }

signals:
    void notesExpandedChanged(bool expanded);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Files dropped anywhere on the window go to the notes.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildPanels();
    void buildHeader();
    void hideDropHint();
    void showMessage();
    void applyPaneRatio();
    double paneRatio() const;
    void storePaneRatio(double ratio);
    double availablePaneHeight() const;
    void refreshCompactTasks();
    void applyNotesExpanded();

    WorkspaceStore* m_store = nullptr;
    Preferences* m_preferences;
    SidebarWindowController* m_controller = nullptr;
    QLabel* m_title = nullptr;
    SidebarHeaderButtons* m_headerButtons = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QVBoxLayout* m_workArea = nullptr;
    QWidget* m_panes = nullptr;
    PaneResizeHandle* m_divider = nullptr;
    QWidget* m_compactTasks = nullptr;
    QLabel* m_compactTasksText = nullptr;
    TaskListView* m_tasks = nullptr;
    NotesView* m_notes = nullptr;
    PomodoroView* m_timerPanel = nullptr;
    RecordingView* m_recordingPanel = nullptr;
    NotificationIssueView* m_notificationIssue = nullptr;
    bool m_shownOnce = false;
    QPointer<QMessageBox> m_alert;
    FileDropHint* m_dropHint = nullptr;
    Appearance* m_appearance;
    TaskPaneSizing m_sizing;
    bool m_notesExpanded = false;
};
