#pragma once

#include "SidebarPanels.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class FocusTimerControl;
class QLabel;
class QPushButton;
class QToolButton;
class RecordingStore;

// The small panel beside the edge tab: the focus timer with start/pause, end and a mode
// switch, and quick recording. Texts follow the interface language; values refresh once
// a second while shown and whenever the timer or the recorder changes.
class SidebarQuickControls : public QWidget {
    Q_OBJECT
public:
    SidebarQuickControls(
        FocusTimerControl* timer, RecordingStore* audio, SymbolImages symbols, QWidget* parent = nullptr);

    // The controller refreshes the tab after an action, expands the window, closes the panel.
    std::function<void()> didAct;
    std::function<void()> expand;
    std::function<void()> dismiss;

    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void act(const std::function<void()>& action);
    void setSymbol(QLabel* label, const QString& name, const QColor& tint);

    QPointer<FocusTimerControl> m_timer;
    QPointer<RecordingStore> m_audio;
    SymbolImages m_symbols;
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
