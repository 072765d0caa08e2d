#pragma once

#include <QHash>
#include <QUuid>
#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;
class QVBoxLayout;
class WorkspaceStore;
class TaskRow;

// The task card: header with the count of open tasks, the draft field and the task rows.
class TaskListView : public QWidget {
    Q_OBJECT
public:
    explicit TaskListView(WorkspaceStore* store, QWidget* parent = nullptr);

    void retranslate();

private:
    void addTask();
    void refresh();

    WorkspaceStore* m_store;
    QLabel* m_title;
    QLabel* m_remaining;
    QToolButton* m_exportButton;
    QLineEdit* m_draft;
    QToolButton* m_addButton;
    QLabel* m_emptyLabel;
    QWidget* m_rowsContainer;
    QVBoxLayout* m_rowsLayout;
    QHash<QUuid, TaskRow*> m_rows;
};
