#include "features/tasks/TaskReminderView.h"
#include "support/TemporaryProfile.h"

#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The bell of one task, its editor on a pinned clock, and what it saved.
struct Bell : TemporaryProfile {
    QDateTime now = QDateTime(QDate(2026, 1, 5), QTime(15, 30, 20));
    QList<std::optional<QDateTime>> saved;
    std::unique_ptr<TaskReminderView> view;

    Bell(const QString& language, std::optional<qint64> reminderInSeconds)
        : TemporaryProfile(language)
    {
        TaskItem task;
        if (reminderInSeconds)
            task.reminderAt = now.addSecs(*reminderInSeconds);
        view = std::make_unique<TaskReminderView>(task, [this](const auto& date) { saved.append(date); });
        view->setClock([this] { return now; });
        view->show();
    }
    template <class T = QPushButton*> T inEditor(const QString& name) const
    {
        return view->editor()->findChild<T>(name);
    }
    void click(QWidget* button) const { QTest::mouseClick(button, Qt::LeftButton); }
    void openEditor() const { click(view->findChild<QToolButton*>("taskReminderButton")); }
};

class TestTaskReminderView : public QObject {
    Q_OBJECT

private slots:
    // The editor opens at the reminder if it is ahead, else soon; removal only when there is one.
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
        Bell b("zh-Hans", reminder);
        b.openEditor();
        QCOMPARE(b.view->reminderDate(), b.now.addSecs(opensAt));
        QCOMPARE(b.inEditor("removeReminderButton")->isVisible(), reminder.has_value());
    }

    // Cancel saves nothing, a time passed while editing is refused, Return saves.
    void cancelRefuseAndSave()
    {
        Bell b("en", 30);
        b.openEditor();
        b.inEditor<QDateTimeEdit*>("reminderDateField")->setDateTime(b.now.addDays(3));
        b.click(b.inEditor("cancelReminderButton"));
        QVERIFY(!b.view->editor()->isVisible() && b.saved.isEmpty());

        b.openEditor();
        b.now = b.now.addSecs(61);
        b.click(b.inEditor("saveReminderButton"));
        QCOMPARE(b.view->validation(), QString("Choose a future reminder time."));
        QVERIFY(b.inEditor<QLabel*>("reminderValidationLabel")->isVisible() && b.saved.isEmpty());
        b.click(b.inEditor("reminderInTenMinutesButton"));
        QVERIFY(!b.view->validation() && b.saved.isEmpty() && b.view->editor()->isVisible());
        b.now = b.now.addSecs(120);
        QTest::keyClick(b.view->editor(), Qt::Key_Return);
        QCOMPARE(b.saved, QList<std::optional<QDateTime>> { b.now.addSecs(480) });
        QVERIFY(!b.view->editor()->isVisible());
        b.openEditor();
        QCOMPARE(b.view->reminderDate(), b.now.addSecs(60));
    }
};

QTEST_MAIN(TestTaskReminderView)
#include "TestTaskReminderView.moc"
