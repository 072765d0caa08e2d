#include "TaskRow.h"

#include "TaskReminderView.h"
#include "design/Symbols.h"
#include "platform/localization/L10n.h"
#include "workspace/WorkspaceStore.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

TaskRow::TaskRow(WorkspaceStore* store, const TaskItem& task, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_task(task)
{
    setObjectName("taskRow");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_toggle = new QToolButton(this);
    m_toggle->setObjectName("taskToggleButton");
    m_toggle->setAutoRaise(true);
    connect(m_toggle, &QToolButton::clicked, this, [this] { m_store->toggleTask(m_task.id); });

    m_title = new QLineEdit(this);
    m_title->setObjectName("taskTitleField");
    m_title->setFrame(false);
    connect(m_title, &QLineEdit::textEdited, this, [this](const QString& text) { m_store->setTaskTitle(m_task.id, text); });

    m_reminder = new TaskReminderView(task, [this](const std::optional<QDateTime>& reminderAt) {
        m_store->setTaskReminder(m_task.id, reminderAt);
    }, this);

    m_delete = new QToolButton(this);
    m_delete->setObjectName("taskDeleteButton");
    m_delete->setAutoRaise(true);
    m_delete->setIcon(Symbols::icon(Symbol::Close));
    connect(m_delete, &QToolButton::clicked, this, [this] { m_store->removeTask(m_task.id); });

    layout->addWidget(m_toggle);
    layout->addWidget(m_title, 1);
    layout->addWidget(m_reminder);
    layout->addWidget(m_delete);
    setTask(task);
}

void TaskRow::setTask(const TaskItem& task)
{
    m_task = task;
    // Leave the text alone while it is what the user is typing, so the caret stays put.
    if (m_title->text() != task.title)
        m_title->setText(task.title);
    QFont font = m_title->font();
    font.setStrikeOut(task.isCompleted);
    m_title->setFont(font);
    m_toggle->setIcon(Symbols::icon(task.isCompleted ? Symbol::Checked : Symbol::Unchecked));
    m_reminder->setTask(task);
    retranslate();
}

void TaskRow::retranslate()
{
    const QString toggleText = L10n::tr(m_task.isCompleted ? "标为未完成" : "完成待办");
    m_toggle->setToolTip(toggleText);
    m_toggle->setAccessibleName(toggleText);
    m_delete->setToolTip(L10n::tr("删除待办"));
    m_delete->setAccessibleName(L10n::tr("删除待办"));
    m_reminder->retranslate();
}
