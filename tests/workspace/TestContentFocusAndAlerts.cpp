#include "features/focus/PomodoroTimer.h"
#include "features/focus/PomodoroView.h"
#include "platform/notifications/NotificationService.h"
#include "platform/notifications/ScriptedNotificationBackend.h"
#include "support/TemporaryProfile.h"
#include "workspace/ContentView.h"
#include "workspace/WorkspaceStore.h"

#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

// The timer panel and the notification warning line in the window.
class TestContentFocusAndAlerts : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::shared_ptr<ScriptedNotificationBackend::State> m_centre;
    std::unique_ptr<WorkspaceStore> m_store;
    std::unique_ptr<ContentView> m_view;

    void build(NotificationAccess access)
    {
        m_profile = std::make_unique<TemporaryProfile>("en");
        m_centre = std::make_shared<ScriptedNotificationBackend::State>();
        m_centre->access = access;
        WorkspaceStore::Services services;
        services.notifications
            = new NotificationService(std::make_unique<ScriptedNotificationBackend>(m_centre));
        m_store = std::make_unique<WorkspaceStore>(m_profile->preferences(), services);
        m_view = std::make_unique<ContentView>(m_store.get());
        m_view->resize(420, 800);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    QWidget* issueLine() const { return m_view->findChild<QWidget*>("notificationIssueLine"); }

private slots:
    void cleanup()
    {
        m_view.reset();
        m_store.reset();
        m_profile.reset();
    }

    void theTimerPanelOpensTheFocusRow()
    {
        build(NotificationAccess::allowed);
        auto* row = m_view->findChild<QWidget*>("focusRow");
        auto* panel = row->findChild<PomodoroView*>("pomodoroView");
        QCOMPARE(m_view->timerPanel(), panel);
        QVERIFY(row->geometry().bottom() < m_view->findChild<QWidget*>("paneSplitter")->geometry().top());

        QTest::mouseClick(panel->findChild<QToolButton*>("timerToggleButton"), Qt::LeftButton);
        QVERIFY(m_store->timer()->isRunning());
        QCOMPARE(m_centre->scheduled.value(NotificationService::timerID).title, QString("Focus Finished"));
    }

    void theWarningLineAppearsWhileNotificationsAreNotAllowed()
    {
        build(NotificationAccess::denied);
        // The first show read the permission; showing again does not ask.
        QCOMPARE(m_store->notifications()->authorization(), NotificationAccess::denied);
        const int calls = m_centre->accessCalls;
        m_view->hide();
        m_view->show();
        QCOMPARE(m_centre->accessCalls, calls);
        QVERIFY(!issueLine()->isVisible());
        QVERIFY(m_store->addTask("Call the plumber"));
        m_store->setTaskReminder(m_store->tasks().first().id, QDateTime::currentDateTime().addSecs(3600));
        QVERIFY(issueLine()->isVisible());
        QVERIFY(
            issueLine()->geometry().top() > m_view->findChild<QWidget*>("paneSplitter")->geometry().bottom());
        QTest::mouseClick(issueLine()->findChild<QPushButton*>("notificationSettingsButton"), Qt::LeftButton);
        auto* dialog = m_view->findChild<QMessageBox*>("settingsPlaceholder");
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        // Allowed meanwhile; "Enable Notifications" asks again and the line goes.
        m_centre->access = NotificationAccess::allowed;
        QTest::mouseClick(dialog->findChild<QPushButton*>("enableNotificationsButton"), Qt::LeftButton);
        QVERIFY(!m_store->notifications()->issue());
        QVERIFY(!issueLine()->isVisible());
        QCOMPARE(m_centre->scheduled.size(), 1);
    }
};

QTEST_MAIN(TestContentFocusAndAlerts)
#include "TestContentFocusAndAlerts.moc"
