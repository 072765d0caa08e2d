#include "WeeklyRestView.h"

#include "features/calendar/HolidayCalendar.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"

#include <QEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kRefreshMilliseconds = 60 * 1000;
constexpr int kPopoverWidth = 310;
const QColor kDayOffColor(0x2e, 0x9d, 0x4f);

// A popup that does not let the press which closed it reopen it: a press on the line
// while the popover is open only closes it.
class Popover : public QFrame {
public:
    Popover(QWidget* anchor)
        : QFrame(anchor, Qt::Popup)
        , m_anchor(anchor)
    {
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        const QRect anchorArea(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
        if (!rect().contains(event->position().toPoint())
            && anchorArea.contains(event->globalPosition().toPoint()))
            setAttribute(Qt::WA_NoMouseReplay);
        QFrame::mousePressEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape) {
            hide();
            return;
        }
        QFrame::keyPressEvent(event);
    }

private:
    QWidget* m_anchor;
};

void setTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QFont captionFont(QFont font)
{
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, font.pixelSize() * 85 / 100));
    return font;
}

QString abbreviatedMonthAndDay(const QDate& date)
{
    const bool chinese = AppLanguage::current().resolved() == AppLanguage::chinese;
    return L10n::locale().toString(date, chinese ? QStringLiteral("M月d日") : QStringLiteral("MMM d"));
}

} // namespace

WeeklyRestView::WeeklyRestView(
    HolidayCalendar* calendar, QWidget* parent, WallClock clock, UrlOpener openUrl)
    : QWidget(parent)
    , m_calendar(calendar)
    , m_clock(std::move(clock))
    , m_openUrl(openUrl ? std::move(openUrl)
                        : UrlOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); }))
{
    setObjectName("weeklyRestView");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_button = new QToolButton(this);
    m_button->setObjectName("weeklyRestButton");
    m_button->setAutoRaise(true);
    m_button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_button->setCursor(Qt::PointingHandCursor);
    m_button->setFont(captionFont(m_button->font()));
    layout->addWidget(m_button);
    layout->addStretch(1);
    connect(m_button, &QToolButton::clicked, this, &WeeklyRestView::togglePopover);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setObjectName("weeklyRestRefreshTimer");
    m_refreshTimer->setInterval(kRefreshMilliseconds);
    connect(m_refreshTimer, &QTimer::timeout, this, &WeeklyRestView::refresh);
    m_refreshTimer->start();

    connect(m_calendar, &HolidayCalendar::yearsChanged, this, &WeeklyRestView::refresh);
    refresh();
}

WeeklyRestView::~WeeklyRestView() = default;

void WeeklyRestView::refresh()
{
    m_summary = m_calendar->summary(WallClocks::now(m_clock));
    const QString text = m_summary.text();
    m_button->setText(text);
    m_button->setAccessibleName(text);
    m_button->setToolTip(L10n::tr("查看本周节假日和调休安排"));
    if (m_popover && m_popover->isVisible())
        fillPopover();
}

void WeeklyRestView::togglePopover()
{
    if (m_popover && m_popover->isVisible()) {
        m_popover->hide();
        return;
    }
    if (!m_popover)
        buildPopover();
    fillPopover();
    m_popover->adjustSize();
    m_popover->move(m_button->mapToGlobal(QPoint(0, m_button->height())));
    m_popover->show();
}

void WeeklyRestView::buildPopover()
{
    m_popover = new Popover(m_button);
    m_popover->setObjectName("weeklyRestPopover");
    m_popover->setFrameShape(QFrame::StyledPanel);
    m_popover->setFixedWidth(kPopoverWidth);
    auto* layout = new QVBoxLayout(m_popover);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);

    m_headline = new QLabel(m_popover);
    m_headline->setTextFormat(Qt::PlainText);
    m_headline->setObjectName("weeklyRestHeadline");
    m_headline->setWordWrap(true);
    QFont headline = m_headline->font();
    headline.setBold(true);
    m_headline->setFont(headline);
    layout->addWidget(m_headline);

    QFont small = captionFont(m_headline->font());
    small.setBold(false);
    m_caption = new QLabel(m_popover);
    m_caption->setTextFormat(Qt::PlainText);
    m_caption->setObjectName("weeklyRestCaption");
    m_caption->setFont(small);
    m_caption->setWordWrap(true);
    layout->addWidget(m_caption);
    m_estimate = new QLabel(m_popover);
    m_estimate->setTextFormat(Qt::PlainText);
    m_estimate->setObjectName("weeklyRestEstimate");
    m_estimate->setFont(small);
    m_estimate->setWordWrap(true);
    layout->addWidget(m_estimate);

    m_rows = new QVBoxLayout;
    m_rows->setSpacing(4);
    layout->addLayout(m_rows);
    for (int i = 0; i < 7; ++i) {
        auto* row = new QWidget(m_popover);
        row->setObjectName("weeklyRestDayRow");
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        for (const char* name : { "weeklyRestDayWeekday", "weeklyRestDayDate" }) {
            auto* label = new QLabel(row);
            label->setTextFormat(Qt::PlainText);
            label->setObjectName(name);
            label->setMinimumWidth(48);
            rowLayout->addWidget(label);
        }
        rowLayout->addStretch(1);
        auto* detail = new QLabel(row);
        detail->setTextFormat(Qt::PlainText);
        detail->setObjectName("weeklyRestDayDetail");
        rowLayout->addWidget(detail);
        m_rows->addWidget(row);
    }

    m_link = new QToolButton(m_popover);
    m_link->setObjectName("weeklyRestOfficialLink");
    m_link->setAutoRaise(true);
    m_link->setCursor(Qt::PointingHandCursor);
    QFont linkFont = m_link->font();
    linkFont.setUnderline(true);
    m_link->setFont(linkFont);
    QPalette linkPalette = m_link->palette();
    linkPalette.setColor(QPalette::ButtonText, linkPalette.color(QPalette::Link));
    m_link->setPalette(linkPalette);
    layout->addWidget(m_link, 0, Qt::AlignLeft);
    connect(m_link, &QToolButton::clicked, this, [this] {
        m_openUrl(QUrl(HolidayCalendar::officialNoticeURL()));
        if (m_popover)
            m_popover->hide();
    });
}

void WeeklyRestView::fillPopover()
{
    m_headline->setText(m_summary.text());
    m_caption->setText(L10n::tr("中国大陆 · 周一至周日 · 按日历天计算"));
    m_estimate->setText(L10n::tr("本周涉及未载入年份，暂按周末双休估算，尚未计入该年的法定假日及调休。"));
    m_estimate->setVisible(m_summary.isEstimated);
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    for (int i = 0; i < m_rows->count(); ++i) {
        QWidget* row = m_rows->itemAt(i)->widget();
        const bool present = i < m_summary.days.size();
        row->setVisible(present);
        if (!present)
            continue;
        const WeekDayStatus& day = m_summary.days.at(i);
        const QColor color = day.isOff ? kDayOffColor : secondary;
        auto* weekday = row->findChild<QLabel*>("weeklyRestDayWeekday");
        auto* date = row->findChild<QLabel*>("weeklyRestDayDate");
        auto* detail = row->findChild<QLabel*>("weeklyRestDayDetail");
        weekday->setText(day.weekday);
        date->setText(abbreviatedMonthAndDay(HolidayCalendar::calendarDay(day.date)));
        detail->setText(day.detail);
        for (QLabel* label : { weekday, date, detail })
            setTextColor(label, color);
        row->setProperty("isOff", day.isOff);
    }
    m_link->setText(L10n::tr("2026 年官方安排"));
    m_link->setToolTip(HolidayCalendar::officialNoticeURL());
}

void WeeklyRestView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        refresh();
    QWidget::changeEvent(event);
}
