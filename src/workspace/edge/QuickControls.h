#pragma once

#include "design/PanelSurface.h"

#include <QPointer>
#include <QTimer>

class PomodoroTimer;
class QLabel;
class QPushButton;
class QToolButton;
class RecordingStore;

// The small panel beside the edge tab: the focus timer with start/pause, end and a mode
// switch, and quick recording. Bound to the timer and the recorder: values refresh once a
// second while shown and whenever either changes; texts follow the interface language.
class QuickControls : public SidebarPanelWindow {
    Q_OBJECT
public:
    QuickControls(PomodoroTimer* timer, RecordingStore* recorder);

    void refresh();

signals:
    void hoverChanged(bool hovered);
    // The user started, paused or ended something (the tab shows it at once).
    void acted();
    void showWindowRequested();
    void dismissRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void actOnTimer(void (QuickControls::*action)());
    void toggleTimer();
    void endTimer();
    void switchMode();
    void retranslate();
    void toggleRecording();
    void setSymbol(QLabel* label, Symbol name, const QColor& tint);

    QPointer<PomodoroTimer> m_timer;
    QPointer<RecordingStore> m_recorder;
    QTimer m_timeline;

    QLabel* m_title;
    QToolButton* m_expandButton;
    QToolButton* m_closeButton;
    QLabel* m_modeIcon;
    QLabel* m_modeCaption;
    QLabel* m_remaining;
    QPushButton* m_toggleButton;
    QToolButton* m_endButton;
    QPushButton* m_modeSwitchButton;
    QLabel* m_micIcon;
    QLabel* m_recordingTitle;
    QLabel* m_recordingDetail;
    QPushButton* m_recordButton;
    QLabel* m_error;
};
