#include "TaskListView.h"

#include "TaskRow.h"
#include "design/Symbols.h"
#include "platform/localization/L10n.h"
#include "workspace/WorkspaceStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

TaskListView::TaskListView(WorkspaceStore* store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName("taskSection");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);

    auto* header = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(Symbols::icon(Symbol::TaskList).pixmap(16, 16));
    m_title = new QLabel(this);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setObjectName("taskTitleLabel");
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_remaining = new QLabel(this);
    m_remaining->setTextFormat(Qt::PlainText);
    m_remaining->setObjectName("taskRemainingLabel");
    header->addWidget(icon);
    header->addWidget(m_title);
    header->addStretch(1);
    header->addWidget(m_remaining);
    m_exportButton = new QToolButton(this);
    m_exportButton->setObjectName("exportTasksButton");
    m_exportButton->setAutoRaise(true);
    m_exportButton->setIcon(Symbols::icon(Symbol::Export));
    connect(m_exportButton, &QToolButton::clicked, m_store, &WorkspaceStore::exportTasks);
    header->addWidget(m_exportButton);
    layout->addLayout(header);

    auto* input = new QHBoxLayout;
    m_draft = new QLineEdit(this);
    m_draft->setObjectName("taskDraftField");
    m_draft->setClearButtonEnabled(false);
    connect(m_draft, &QLineEdit::returnPressed, this, &TaskListView::addTask);
    m_addButton = new QToolButton(this);
    m_addButton->setObjectName("addTaskButton");
    m_addButton->setIcon(Symbols::icon(Symbol::Add));
    connect(m_addButton, &QToolButton::clicked, this, &TaskListView::addTask);
    input->addWidget(m_draft, 1);
    input->addWidget(m_addButton);
    layout->addLayout(input);

    m_emptyLabel = new QLabel(this);
    m_emptyLabel->setTextFormat(Qt::PlainText);
    m_emptyLabel->setObjectName("taskEmptyLabel");
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setWordWrap(true);
    layout->addWidget(m_emptyLabel, 1);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("taskList");
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // The rows sit on the card's surface.
    scroll->viewport()->setAutoFillBackground(false);
    m_rowsContainer = new QWidget(scroll);
    m_rowsLayout = new QVBoxLayout(m_rowsContainer);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(4);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(m_rowsContainer);
    layout->addWidget(scroll, 1);

    connect(m_store, &WorkspaceStore::tasksChanged, this, &TaskListView::refresh);
    retranslate();
    refresh();
}

void TaskListView::addTask()
{
    // A blank draft adds nothing and stays as typed.
    if (m_store->addTask(m_draft->text()))
        m_draft->clear();
}

void TaskListView::refresh()
{
    const auto& tasks = m_store->tasks();
    QHash<QUuid, TaskRow*> kept;
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        const TaskItem& task = tasks.at(i);
        TaskRow* row = m_rows.take(task.id);
        if (row) {
            row->setTask(task);
        } else {
            row = new TaskRow(m_store, task, m_rowsContainer);
        }
        // Rows stay in list order; the stretch is always last.
        m_rowsLayout->removeWidget(row);
        m_rowsLayout->insertWidget(int(i), row);
        kept.insert(task.id, row);
    }
    for (TaskRow* gone : std::as_const(m_rows))
        gone->deleteLater();
    m_rows = kept;

    m_emptyLabel->setVisible(tasks.isEmpty());
    m_exportButton->setEnabled(!tasks.isEmpty());
    m_rowsContainer->parentWidget()->parentWidget()->setVisible(!tasks.isEmpty());
    m_remaining->setText(L10n::tr("{0} 项待完成", { QString::number(m_store->remainingTaskCount()) }));
}

void TaskListView::retranslate()
{
    m_title->setText(L10n::tr("待办事项"));
    m_draft->setPlaceholderText(L10n::tr("添加待办，按回车确认"));
    m_addButton->setToolTip(L10n::tr("添加待办"));
    m_addButton->setAccessibleName(L10n::tr("添加待办"));
    m_exportButton->setToolTip(L10n::tr("将待办单独保存到 Obsidian"));
    m_exportButton->setAccessibleName(L10n::tr("将待办单独保存到 Obsidian"));
    m_emptyLabel->setText(L10n::tr("把脑海里的事，先放在这里"));
    m_remaining->setText(L10n::tr("{0} 项待完成", { QString::number(m_store->remainingTaskCount()) }));
    for (TaskRow* row : std::as_const(m_rows))
        row->retranslate();
}
