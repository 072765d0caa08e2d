#pragma once

#include "design/PanelSurface.h"

#include <QAbstractAnimation>
#include <QAbstractButton>
#include <QList>
#include <QPointer>
#include <QUrl>

class PomodoroTimer;
class QLabel;
class QMimeData;
class RecordingStore;
class SidebarWindowSystem;
class WorkspaceStore;

// The click target covering the tab; also where files dropped onto the tab land.
class EdgeTabButton : public QAbstractButton {
    Q_OBJECT
public:
    EdgeTabButton(WorkspaceStore* store, QWidget* parent);

    // The files of a drag: local files only (folders and other items do not count).
    static QList<QUrl> fileURLs(const QMimeData* data);
    bool isDropHighlighted() const { return m_dropHighlighted; }

signals:
    // The store took the dropped files.
    void filesTaken();

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDropHighlighted(bool highlighted);

    QPointer<WorkspaceStore> m_store;
    bool m_dropHighlighted = false;
};

// A 9-point status dot in the status colour; `state` says what it stands for ("focus",
// "rest", "paused", "recording"). It may pulse.
class EdgeStatusDot : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString state READ state)
public:
    explicit EdgeStatusDot(QWidget* parent);

    QString state() const { return m_state; }
    QColor tint() const { return m_tint; }
    void setState(const QString& state, const QColor& tint);
    bool isPulsing() const { return m_pulse != nullptr; }
    void setPulsing(bool pulsing);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_state;
    QColor m_tint;
    QPointer<QAbstractAnimation> m_pulse;
};

// The narrow tab that stands for the collapsed sidebar on its edge: three labelled icons
// (focus timer, recording, note) with live status dots, a click target that brings the
// sidebar back, a small menu and a drop target for files. It shows the timer and the
// recorder as they are at each refresh(); the window controller places and shows it.
class EdgeTab : public SidebarPanelWindow {
    Q_OBJECT
public:
    EdgeTab(
        PomodoroTimer* timer, RecordingStore* recorder, WorkspaceStore* store, SidebarWindowSystem* system);

    EdgeTabButton* button() const { return m_button; }
    EdgeStatusDot* timerDot() const { return m_timerDot; }
    EdgeStatusDot* recordingDot() const { return m_recordingDot; }

    // Status dots, tooltip and accessible name, from the timer and the recorder now.
    void refresh();

signals:
    void hoverChanged(bool hovered);
    void showWindowRequested();
    void quickControlsRequested();
    void undockRequested();

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Row {
        QLabel* icon;
        QLabel* label;
        const char* text;
        int base;
    };
    void retranslate();
    void layoutRows();
    void showMenu(const QPoint& position);

    QPointer<PomodoroTimer> m_timer;
    QPointer<RecordingStore> m_recorder;
    SidebarWindowSystem* m_system;
    EdgeTabButton* m_button;
    EdgeStatusDot* m_timerDot;
    EdgeStatusDot* m_recordingDot;
    QList<Row> m_rows;
};

// "%02d:%02d" of whole seconds (minutes may exceed 59).
QString minutesSeconds(qint64 seconds);
