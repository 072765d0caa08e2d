#include "TaskReminderView.h"

#include "design/Symbols.h"
#include "platform/localization/L10n.h"

#include <QDateTimeEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// A popup frame on which Return saves and Esc closes, as in a dialog.
class ReminderPopover : public QFrame {
public:
    ReminderPopover(QWidget* parent, std::function<void()> onReturn)
        : QFrame(parent, Qt::Popup)
        , m_onReturn(std::move(onReturn))
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            m_onReturn();
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            close();
            return;
        }
        QFrame::keyPressEvent(event);
    }

private:
    std::function<void()> m_onReturn;
};
} // namespace

TaskReminderView::TaskReminderView(const TaskItem& task, SetReminder setReminder, QWidget* parent)
    : QWidget(parent)
    , m_task(task)
    , m_setReminder(std::move(setReminder))
{
    setObjectName("taskReminderView");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_bell = new QToolButton(this);
    m_bell->setObjectName("taskReminderButton");
    m_bell->setAutoRaise(true);
    connect(m_bell, &QToolButton::clicked, this, &TaskReminderView::openEditor);
    layout->addWidget(m_bell);

    m_editor = new ReminderPopover(this, [this] { save(); });
    m_editor->setObjectName("taskReminderEditor");
    m_editor->setFrameShape(QFrame::StyledPanel);
    m_editor->setFixedWidth(320);
    auto* popover = new QVBoxLayout(m_editor);
    popover->setContentsMargins(16, 16, 16, 16);
    popover->setSpacing(10);

    m_heading = new QLabel(m_editor);
    m_heading->setTextFormat(Qt::PlainText);
    m_heading->setObjectName("reminderHeadingLabel");
    QFont headline = m_heading->font();
    headline.setBold(true);
    m_heading->setFont(headline);
    m_taskTitle = new QLabel(m_editor);
    m_taskTitle->setObjectName("reminderTaskTitleLabel");
    // A task title is the user's text, never markup.
    m_taskTitle->setTextFormat(Qt::PlainText);
    m_taskTitle->setWordWrap(true);
    m_taskTitle->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = m_taskTitle->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_taskTitle->setFont(caption);
    m_taskTitle->setMaximumHeight(QFontMetrics(caption).lineSpacing() * 2 + 2);
    popover->addWidget(m_heading);
    popover->addWidget(m_taskTitle);

    auto* quick = new QHBoxLayout;
    m_inTenMinutes = new QPushButton(m_editor);
    m_inTenMinutes->setObjectName("reminderInTenMinutesButton");
    m_inTenMinutes->setAutoDefault(false);
    connect(m_inTenMinutes, &QPushButton::clicked, this, [this] {
        setReminderDate(now().addSecs(600));
        setValidation(std::nullopt);
    });
    m_inOneHour = new QPushButton(m_editor);
    m_inOneHour->setObjectName("reminderInOneHourButton");
    m_inOneHour->setAutoDefault(false);
    connect(m_inOneHour, &QPushButton::clicked, this, [this] {
        setReminderDate(now().addSecs(3600));
        setValidation(std::nullopt);
    });
    quick->addWidget(m_inTenMinutes);
    quick->addWidget(m_inOneHour);
    quick->addStretch(1);
    popover->addLayout(quick);

    auto* pickerRow = new QHBoxLayout;
    m_pickerLabel = new QLabel(m_editor);
    m_pickerLabel->setTextFormat(Qt::PlainText);
    m_picker = new QDateTimeEdit(m_editor);
    m_picker->setObjectName("reminderDateField");
    m_picker->setCalendarPopup(true);
    m_pickerLabel->setBuddy(m_picker);
    connect(m_picker, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& date) { m_reminderDate = date; });
    pickerRow->addWidget(m_pickerLabel);
    pickerRow->addWidget(m_picker, 1);
    popover->addLayout(pickerRow);

    m_validationLabel = new QLabel(m_editor);
    m_validationLabel->setObjectName("reminderValidationLabel");
    m_validationLabel->setTextFormat(Qt::PlainText);
    m_validationLabel->setWordWrap(true);
    m_validationLabel->setStyleSheet(QStringLiteral("color: #d70015;"));
    m_validationLabel->hide();
    popover->addWidget(m_validationLabel);

    auto* buttons = new QHBoxLayout;
    m_remove = new QPushButton(m_editor);
    m_remove->setObjectName("removeReminderButton");
    m_remove->setAutoDefault(false);
    m_remove->setStyleSheet(QStringLiteral("color: #d70015;"));
    connect(m_remove, &QPushButton::clicked, this, [this] {
        m_editor->close();
        m_setReminder(std::nullopt);
    });
    m_cancel = new QPushButton(m_editor);
    m_cancel->setObjectName("cancelReminderButton");
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, m_editor, &QWidget::close);
    m_save = new QPushButton(m_editor);
    m_save->setObjectName("saveReminderButton");
    m_save->setDefault(true);
    connect(m_save, &QPushButton::clicked, this, &TaskReminderView::save);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    popover->addLayout(buttons);

    setTask(task);
}

void TaskReminderView::setTask(const TaskItem& task)
{
    m_task = task;
    m_bell->setIcon(Symbols::icon(task.reminderAt ? Symbol::BellSet : Symbol::Bell));
    m_remove->setVisible(task.reminderAt.has_value());
    m_taskTitle->setText(task.title);
    retranslate();
}

QString TaskReminderView::formattedTime(const QDateTime& date)
{
    const QLocale locale = L10n::locale();
    const QDateTime local = date.toLocalTime();
    const QString time = locale.toString(local.time(), locale.timeFormat(QLocale::ShortFormat));
    if (locale.language() == QLocale::Chinese)
        return locale.toString(local.date(), QStringLiteral("yyyy年M月d日")) + QLatin1Char(' ') + time;
    return locale.toString(local.date(), QStringLiteral("MMM d, yyyy")) + QStringLiteral(", ") + time;
}

void TaskReminderView::retranslate()
{
    const QString name = L10n::tr("设置待办提醒");
    m_bell->setAccessibleName(name);
    m_bell->setToolTip(m_task.reminderAt ? L10n::tr("提醒：{0}", { formattedTime(*m_task.reminderAt) })
                                         : L10n::tr("设置提醒时间"));
    m_heading->setText(L10n::tr("待办提醒"));
    m_inTenMinutes->setText(L10n::tr("10 分钟后"));
    m_inOneHour->setText(L10n::tr("1 小时后"));
    m_pickerLabel->setText(L10n::tr("提醒时间"));
    m_picker->setAccessibleName(L10n::tr("提醒时间"));
    const QLocale locale = L10n::locale();
    m_picker->setLocale(locale);
    m_picker->setDisplayFormat(locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ')
                               + locale.timeFormat(QLocale::ShortFormat));
    m_remove->setText(L10n::tr("移除提醒"));
    m_cancel->setText(L10n::tr("取消"));
    m_save->setText(L10n::tr("保存"));
}

void TaskReminderView::setReminderDate(const QDateTime& date)
{
    m_reminderDate = date;
    // The picker shows minutes only; the exact time stays here until the user edits it.
    const QSignalBlocker blocker(m_picker);
    m_picker->setDateTime(date);
}

void TaskReminderView::setValidation(const std::optional<QString>& validation)
{
    m_validation = validation;
    m_validationLabel->setText(validation.value_or(QString()));
    m_validationLabel->setVisible(validation.has_value());
    m_editor->adjustSize();
}

void TaskReminderView::openEditor()
{
    const QDateTime current = now();
    const QDateTime candidate = m_task.reminderAt.value_or(current.addSecs(3600));
    setReminderDate(std::max(candidate, current.addSecs(60)));
    setValidation(std::nullopt);
    retranslate();
    m_editor->adjustSize();
    m_editor->move(m_bell->mapToGlobal(QPoint(m_bell->width() - m_editor->width(), m_bell->height())));
    m_editor->show();
    m_picker->setFocus(Qt::PopupFocusReason);
}

void TaskReminderView::save()
{
    if (m_reminderDate > now()) {
        const QDateTime date = m_reminderDate;
        m_editor->close();
        m_setReminder(date);
        return;
    }
    setValidation(L10n::tr("请选择未来的提醒时间。"));
}
