#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class FileDropHint;
class NotesView;
class NotificationIssueView;
class PomodoroView;
class Preferences;
class QLabel;
class QHBoxLayout;
class QSplitter;
class QVBoxLayout;
class RecordingView;
class SidebarWindowController;
class TaskListView;
class WorkspaceStore;

// Everything inside the sidebar window: the header, the task card and the notes area
// with a divider whose position is remembered as a ratio, and the store's message alert.
class ContentView : public QWidget {
    Q_OBJECT
public:
    // `later`: only the header is built now, so that the window can be shown at once;
    // buildPanels() adds the rest (the program does so right after the first paint).
    enum class Build { now, later };
    explicit ContentView(WorkspaceStore* store, QWidget* parent = nullptr);
    ContentView(WorkspaceStore* store, Build build, QWidget* parent = nullptr);

    // Adds the timer, recorder, task and notes panels; does nothing once they exist.
    void buildPanels();
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

    // Height of the task card for the space `available` and the stored ratio.
    static int taskCardHeight(int available, double ratio);

signals:
    void panelsBuilt();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Files dropped anywhere on the window go to the notes.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showMessage();
    void applyPaneRatio();
    double paneRatio() const;

    WorkspaceStore* m_store;
    Preferences* m_preferences;
    QLabel* m_title;
    QHBoxLayout* m_headerRow;
    QVBoxLayout* m_layout = nullptr;
    QSplitter* m_panes = nullptr;
    TaskListView* m_tasks = nullptr;
    NotesView* m_notes = nullptr;
    PomodoroView* m_timerPanel = nullptr;
    RecordingView* m_recordingPanel = nullptr;
    NotificationIssueView* m_notificationIssue = nullptr;
    bool m_shownOnce = false;
    QPointer<QMessageBox> m_alert;
    bool m_applyingRatio = false;
    FileDropHint* m_dropHint;
};
