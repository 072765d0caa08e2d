#include "features/tasks/TaskReminderView.h"
#include "support/StoreHarness.h"
#include "workspace/ContentView.h"
#include "workspace/WorkspaceStore.h"

#include <QDateTimeEdit>
#include <QFrame>
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

    TaskReminderView& view(const QString& language, std::optional<qint64> reminderInSeconds = std::nullopt)
    {
        m_profile = std::make_unique<TemporaryProfile>(language);
        TaskItem task;
        task.title = "Call the plumber";
        if (reminderInSeconds)
            task.reminderAt = m_now.addSecs(*reminderInSeconds);
        m_view = std::make_unique<TaskReminderView>(
            task, [this](const std::optional<QDateTime>& date) { m_saved.append(date); });
        m_view->setClock([this] { return m_now; });
        m_view->show();
        return *m_view;
    }

    template <class T> T inEditor(const QString& name) const { return m_view->editor()->findChild<T>(name); }
    QToolButton* bell() const { return m_view->findChild<QToolButton*>("taskReminderButton"); }

private slots:
    void cleanup()
    {
        m_view.reset();
        m_profile.reset();
        m_saved.clear();
    }

    void theBellTellsWhetherAReminderIsSet()
    {
        view("zh-Hans");
        TaskItem task;
        task.reminderAt = QDateTime(QDate(2026, 1, 5), QTime(15, 30));
        m_view->setTask(task);
        QCOMPARE(bell()->toolTip(), QString::fromUtf8("提醒：2026年1月5日 15:30"));
    }

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
        view("zh-Hans", reminder);
        QTest::mouseClick(bell(), Qt::LeftButton);
        QCOMPARE(m_view->reminderDate(), m_now.addSecs(opensAt));
        QCOMPARE(inEditor<QPushButton*>("removeReminderButton")->isVisible(), reminder.has_value());
    }

    // A time that passed while editing is refused with a message; a quick choice only moves
    // the picker and clears it; saving then succeeds; reopening starts afresh.
    void aPastTimeIsRefused()
    {
        view("en", 30);
        QTest::mouseClick(bell(), Qt::LeftButton);
        m_now = m_now.addSecs(61);
        QTest::mouseClick(inEditor<QPushButton*>("saveReminderButton"), Qt::LeftButton);
        QCOMPARE(m_view->validation(), QString("Choose a future reminder time."));
        QVERIFY(inEditor<QLabel*>("reminderValidationLabel")->isVisible() && m_saved.isEmpty());

        QTest::mouseClick(inEditor<QPushButton*>("reminderInTenMinutesButton"), Qt::LeftButton);
        QVERIFY(!m_view->validation() && m_saved.isEmpty() && m_view->editor()->isVisible());
        m_now = m_now.addSecs(120);
        QTest::keyClick(m_view->editor(), Qt::Key_Return);
        QCOMPARE(m_saved, QList<std::optional<QDateTime>> { m_now.addSecs(480) });
        QVERIFY(!m_view->editor()->isVisible());
        QTest::mouseClick(bell(), Qt::LeftButton);
        QCOMPARE(m_view->reminderDate(), m_now.addSecs(60));
    }

    // (Removing is checked through the task row below.)
    void cancellingSavesNothing()
    {
        view("en", 3600);
        QTest::mouseClick(bell(), Qt::LeftButton);
        inEditor<QDateTimeEdit*>("reminderDateField")->setDateTime(m_now.addDays(3));
        QTest::mouseClick(inEditor<QPushButton*>("cancelReminderButton"), Qt::LeftButton);
        QVERIFY(!m_view->editor()->isVisible() && m_saved.isEmpty());
    }

    // The bell in a real task row sets the task's reminder in the store.
    void theTaskRowStoresTheReminder()
    {
        StoreHarness h;
        WorkspaceStore& store = *h.store;
        ContentView content(&store);
        content.resize(420, 800);
        content.show();
        store.addTask("Water the plants");

        auto* row = content.findChild<TaskReminderView*>("taskReminderView");
        QVERIFY(row);
        const QDateTime before = QDateTime::currentDateTime();
        QTest::mouseClick(row->findChild<QToolButton*>("taskReminderButton"), Qt::LeftButton);
        QTest::mouseClick(row->editor()->findChild<QPushButton*>("reminderInOneHourButton"), Qt::LeftButton);
        QTest::mouseClick(row->editor()->findChild<QPushButton*>("saveReminderButton"), Qt::LeftButton);
        const auto stored = store.tasks().first().reminderAt;
        QVERIFY(stored && *stored >= before.addSecs(3600));
        QVERIFY(*stored <= QDateTime::currentDateTime().addSecs(3600));
        QTest::mouseClick(row->findChild<QToolButton*>("taskReminderButton"), Qt::LeftButton);
        QTest::mouseClick(row->editor()->findChild<QPushButton*>("removeReminderButton"), Qt::LeftButton);
        QVERIFY(!store.tasks().first().reminderAt);
    }
};

QTEST_MAIN(TestTaskReminderView)
#include "TestTaskReminderView.moc"
