#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class FocusShortcutSource;
class InlineTimeDigit;
class PomodoroTimer;
class QFrame;
class QLabel;
class QStackedLayout;
class QToolButton;

// The focus-timer panel: a full form with one row per mode (durations edited in place),
// start/pause and reset, or a compact one-line button. The countdown is redrawn once a
// second while it runs and the panel is visible.
class PomodoroView : public QWidget {
    Q_OBJECT
public:
    explicit PomodoroView(PomodoroTimer* timer, QWidget* parent = nullptr);

    // The binding shown in the start/pause help; without one it reads "Not Set".
    void setShortcutSource(FocusShortcutSource* source);
    void setCompact(bool compact);
    bool isCompact() const { return m_compact; }
    // Tests listen for the refusal sound.
    void setBeep(std::function<void()> beep);
    bool isRefreshing() const { return m_refresh.isActive(); }

    void retranslate();
    void refresh();

    // "%02d:%02d", minutes unbounded above 59.
    static QString timeText(qint64 seconds);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct ModeRow {
        QToolButton* modeButton = nullptr;
        InlineTimeDigit* minutes = nullptr;
        InlineTimeDigit* seconds = nullptr;
        QLabel* colon = nullptr;
    };
    QWidget* buildRow(bool isBreak, ModeRow& row);
    void commit(bool isBreak, bool isSeconds, int value);

    PomodoroTimer* m_timer;
    QPointer<FocusShortcutSource> m_shortcuts;
    std::function<void()> m_beep;
    bool m_compact = false;
    QStackedLayout* m_forms;
    QFrame* m_full;
    QLabel* m_titleIcon;
    QLabel* m_title;
    ModeRow m_focusRow;
    ModeRow m_breakRow;
    QToolButton* m_toggle;
    QToolButton* m_reset;
    QToolButton* m_compactButton;
    QTimer m_refresh;
};
