#pragma once

#include <QWidget>

class NotificationService;
class QLabel;
class QPushButton;

// The warning line under the notes: shown only while the notification service has an
// issue, with a button that leads to the settings.
class NotificationIssueView : public QWidget {
    Q_OBJECT
public:
    explicit NotificationIssueView(NotificationService* notifications, QWidget* parent = nullptr);

    void retranslate();

signals:
    void settingsRequested();

private:
    void refresh();

    NotificationService* m_notifications;
    QLabel* m_icon;
    QLabel* m_text;
    QPushButton* m_settings;
};
