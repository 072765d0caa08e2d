#include "NotificationIssueView.h"

#include "design/Symbols.h"
#include "platform/localization/L10n.h"
#include "platform/notifications/NotificationService.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

NotificationIssueView::NotificationIssueView(NotificationService* notifications, QWidget* parent)
    : QWidget(parent)
    , m_notifications(notifications)
{
    setObjectName("notificationIssueLine");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 0, 3, 0);
    layout->setSpacing(6);

    m_icon = new QLabel(this);
    m_icon->setObjectName("notificationIssueIcon");
    // Drawn in the warning colour whatever the palette.
    m_icon->setPixmap(Symbols::icon(Symbol::BellOff).pixmap(14, 14));

    m_text = new QLabel(this);
    m_text->setObjectName("notificationIssueLabel");
    // The issue can quote an error from the desktop, which is plain text.
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = m_text->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_text->setFont(caption);

    m_settings = new QPushButton(this);
    m_settings->setObjectName("notificationSettingsButton");
    m_settings->setFont(caption);
    connect(m_settings, &QPushButton::clicked, this, &NotificationIssueView::settingsRequested);

    layout->addWidget(m_icon, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_settings, 0, Qt::AlignTop);

    connect(m_notifications, &NotificationService::issueChanged, this, &NotificationIssueView::refresh);
    retranslate();
    refresh();
}

void NotificationIssueView::refresh()
{
    const auto issue = m_notifications->issue();
    m_text->setText(issue.value_or(QString()));
    setVisible(issue.has_value());
}

void NotificationIssueView::retranslate()
{
    m_settings->setText(L10n::tr("设置"));
}
