#pragma once

#include "core/WallClock.h"
#include "features/calendar/WeeklyRestSummary.h"

#include <QDateTime>
#include <QFrame>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>

class HolidayCalendar;
class QLabel;
class QTimer;
class QToolButton;
class QVBoxLayout;

// The line about this week's days off, and the popover listing the seven days. The line
// is recomputed every minute so that it turns over at midnight and at the start of a
// week by itself.
class WeeklyRestView : public QWidget {
    Q_OBJECT
public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    // Without a clock the system time is read; without an opener links open in the
    // desktop's browser.
    explicit WeeklyRestView(HolidayCalendar* calendar, QWidget* parent = nullptr,
        WallClock clock = {}, UrlOpener openUrl = {});
    ~WeeklyRestView() override;

    const WeeklyRestSummary& summary() const { return m_summary; }
    // The popover while it exists (it is made on first opening).
    QFrame* popover() const { return m_popover; }

    void togglePopover();
    void refresh();

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildPopover();
    void fillPopover();

    HolidayCalendar* m_calendar;
    WallClock m_clock;
    UrlOpener m_openUrl;
    WeeklyRestSummary m_summary;
    QToolButton* m_button;
    QTimer* m_refreshTimer;
    QPointer<QFrame> m_popover;
    QLabel* m_headline = nullptr;
    QLabel* m_caption = nullptr;
    QLabel* m_estimate = nullptr;
    QVBoxLayout* m_rows = nullptr;
    QToolButton* m_link = nullptr;
};
