#include "features/tasks/TaskReminderView.h"
#include "support/TemporaryProfile.h"

#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

class TestTaskReminderView : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::unique_ptr<TaskReminderView> m_view;
    QList<std::optional<QDateTime>> m_saved;
    QDateTime m_now = QDateTime(QDate(2026, 1, 5), QTime(15, 30, 20));

    void makeView(const QString& language, std::optional<qint64> reminderInSeconds)
    {
        m_profile = std::make_unique<TemporaryProfile>(language);
        TaskItem task;
        if (reminderInSeconds)
            task.reminderAt = m_now.addSecs(*reminderInSeconds);
        m_view = std::make_unique<TaskReminderView>(
            task, [this](const std::optional<QDateTime>& date) { m_saved.append(date); });
        m_view->setClock([this] { return m_now; });
        m_view->show();
    }
    template <class T = QPushButton*> T inEditor(const QString& name) const
    {
        return m_view->editor()->findChild<T>(name);
    }
    void click(QWidget* button) const { QTest::mouseClick(button, Qt::LeftButton); }
    QToolButton* bell() const { return m_view->findChild<QToolButton*>("taskReminderButton"); }

private slots:
    void cleanup()
    {
        m_view.reset();
        m_profile.reset();
        m_saved.clear();
    }

    // The editor opens at the reminder if it is ahead, else
    // soon, offering removal only when there is one.
    void theEditorOpensAtASensibleTime_data()
    {
        QTest::addColumn<std::optional<qint64>>("reminder");
        QTest::addColumn<qint64>("opensAt");
        QTest::newRow("none") << std::optional<qint64>() << qint64(3600);
        QTest::newRow("past") << std::optional<qint64>(-600) << qint64(60);
        QTest::newRow("tomorrow") << std::optional<qint64>(86400) << qint64(86400);
    }
    void theEditorOpensAtASensibleTime()
    {
        QFETCH(std::optional<qint64>, reminder);
        QFETCH(qint64, opensAt);
        makeView("zh-Hans", reminder);
        click(bell());
        QCOMPARE(m_view->reminderDate(), m_now.addSecs(opensAt));
        QCOMPARE(inEditor("removeReminderButton")->isVisible(), reminder.has_value());
    }

    // Cancelling saves nothing; a time that passed while editing is refused with a message;
    // a quick choice only moves the picker and clears it; Return saves; reopening starts afresh.
    void cancelRefuseAndSave()
    {
        makeView("en", 30);
        click(bell());
        inEditor<QDateTimeEdit*>("reminderDateField")->setDateTime(m_now.addDays(3));
        click(inEditor("cancelReminderButton"));
        QVERIFY(!m_view->editor()->isVisible() && m_saved.isEmpty());

        click(bell());
        m_now = m_now.addSecs(61);
        click(inEditor("saveReminderButton"));
        QCOMPARE(m_view->validation(), QString("Choose a future reminder time."));
        QVERIFY(inEditor<QLabel*>("reminderValidationLabel")->isVisible() && m_saved.isEmpty());
        click(inEditor("reminderInTenMinutesButton"));
        QVERIFY(!m_view->validation() && m_saved.isEmpty() && m_view->editor()->isVisible());
        m_now = m_now.addSecs(120);
        QTest::keyClick(m_view->editor(), Qt::Key_Return);
        QCOMPARE(m_saved, QList<std::optional<QDateTime>> { m_now.addSecs(480) });
        QVERIFY(!m_view->editor()->isVisible());
        click(bell());
        QCOMPARE(m_view->reminderDate(), m_now.addSecs(60));
    }
};

QTEST_MAIN(TestTaskReminderView)
#include "TestTaskReminderView.moc"
