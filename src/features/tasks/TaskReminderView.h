#pragma once

#include "core/TaskItem.h"
#include "core/WallClock.h"

#include <QWidget>

#include <functional>
#include <optional>

class QDateTimeEdit;
class QFrame;
class QLabel;
class QPushButton;
class QToolButton;

// The bell in a task row and its popover, in which the task's reminder time is set,
// changed or removed. The result goes to the caller; nothing is stored here.
class TaskReminderView : public QWidget {
    Q_OBJECT
public:
    using SetReminder = std::function<void(const std::optional<QDateTime>&)>;

    TaskReminderView(const TaskItem& task, SetReminder setReminder, QWidget* parent = nullptr);

    void setTask(const TaskItem& task);
    void setClock(WallClock clock) { m_clock = std::move(clock); }
    void retranslate();

    // Opens the popover at the task's reminder, or an hour from now, and never earlier
    // than a minute from now.
    void openEditor();
    QFrame* editor() const { return m_editor; }
    QDateTime reminderDate() const { return m_reminderDate; }
    std::optional<QString> validation() const { return m_validation; }

    // Abbreviated date and short time in the interface language.
    static QString formattedTime(const QDateTime& date);

private:
    void setReminderDate(const QDateTime& date);
    void setValidation(const std::optional<QString>& validation);
    void save();
    QDateTime now() const { return WallClocks::now(m_clock); }

    TaskItem m_task;
    SetReminder m_setReminder;
    WallClock m_clock;
    QDateTime m_reminderDate;
    std::optional<QString> m_validation;

    QToolButton* m_bell;
    QFrame* m_editor;
    QLabel* m_heading;
    QLabel* m_taskTitle;
    QPushButton* m_inTenMinutes;
    QPushButton* m_inOneHour;
    QLabel* m_pickerLabel;
    QDateTimeEdit* m_picker;
    QLabel* m_validationLabel;
    QPushButton* m_remove;
    QPushButton* m_cancel;
    QPushButton* m_save;
};
