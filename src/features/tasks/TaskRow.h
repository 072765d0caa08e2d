#pragma once

#include "core/TaskItem.h"

#include <QWidget>

class QLineEdit;
class QToolButton;
class TaskReminderView;
class WorkspaceStore;

// One task: completion toggle, title edited in place, delete.
class TaskRow : public QWidget {
    Q_OBJECT
public:
    TaskRow(WorkspaceStore* store, const TaskItem& task, QWidget* parent = nullptr);

    QUuid taskID() const { return m_task.id; }
    void setTask(const TaskItem& task);
    void retranslate();

private:
    WorkspaceStore* m_store;
    TaskItem m_task;
    QToolButton* m_toggle;
    QLineEdit* m_title;
    TaskReminderView* m_reminder;
    QToolButton* m_delete;
};
