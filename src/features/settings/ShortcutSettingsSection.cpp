#include "ShortcutSettingsSection.h"

#include "ShortcutRecorderField.h"
#include "design/Symbols.h"
#include "platform/localization/L10n.h"
#include "platform/shortcuts/ShortcutManager.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

ShortcutSettingsSection::ShortcutSettingsSection(ShortcutManager* manager, QWidget* parent)
    : QWidget(parent)
    , m_manager(manager)
{
    setObjectName("shortcutSection");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_heading = new QLabel(this);
    m_heading->setTextFormat(Qt::PlainText);
    QFont bold = m_heading->font();
    bold.setBold(true);
    m_heading->setFont(bold);
    layout->addWidget(m_heading);
    auto* grid = new QGridLayout;
    int line = 0;
    for (ShortcutAction action : ShortcutActions::allCases()) {
        const QString id = ShortcutActions::id(action);
        Row row;
        row.name = new QLabel(this);
        row.name->setTextFormat(Qt::PlainText);
        row.field = new ShortcutRecorderField(this);
        row.field->setObjectName(id + "ShortcutField");
        row.name->setBuddy(row.field);
        row.clear = new QToolButton(this);
        row.clear->setObjectName(id + "ShortcutClearButton");
        row.clear->setIcon(Symbols::icon(Symbol::Close));
        row.clear->setAutoRaise(true);
        row.issue = new QLabel(this);
        row.issue->setTextFormat(Qt::PlainText);
        row.issue->setObjectName(id + "ShortcutIssue");
        row.issue->setWordWrap(true);
        row.issue->setForegroundRole(QPalette::PlaceholderText);
        grid->addWidget(row.name, line, 0);
        grid->addWidget(row.field, line, 1);
        grid->addWidget(row.clear, line++, 2);
        grid->addWidget(row.issue, line++, 1, 1, 2);
        connect(row.field, &ShortcutRecorderField::recordingChanged, this, [this, action](bool recording) {
            m_rows[action].refusal.clear();
            if (m_manager)
                m_manager->setSuspended(recording);
            refresh();
        });
        connect(row.field, &ShortcutRecorderField::recorded, this,
            [this, action](const KeyboardShortcutBinding& binding) { offer(action, binding); });
        connect(row.field, &ShortcutRecorderField::cleared, this,
            [this, action] { offer(action, std::nullopt); });
        connect(row.field, &ShortcutRecorderField::unusableKey, this,
            [this, action] { refuse(action, ShortcutIssues::message(ShortcutIssue::invalid)); });
        connect(row.clear, &QToolButton::clicked, this, [this, action] { offer(action, std::nullopt); });
        m_rows.insert(action, row);
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    m_explanation = new QLabel(this);
    m_explanation->setTextFormat(Qt::PlainText);
    m_explanation->setWordWrap(true);
    m_explanation->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_explanation);
    m_restore = new QPushButton(this);
    m_restore->setObjectName("restoreDefaultShortcutsButton");
    m_restore->setAutoDefault(false);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        for (Row& row : m_rows)
            row.refusal.clear();
        if (m_manager)
            m_manager->restoreDefaults();
    });
    layout->addWidget(m_restore, 0, Qt::AlignLeft);

    connect(manager, &ShortcutManager::bindingsChanged, this, &ShortcutSettingsSection::refresh);
    connect(manager, &ShortcutManager::issuesChanged, this, &ShortcutSettingsSection::refresh);
    retranslate();
}

ShortcutSettingsSection::~ShortcutSettingsSection()
{
    // Closed mid-recording: the hot keys come back.
    if (m_manager)
        m_manager->setSuspended(false);
}

void ShortcutSettingsSection::offer(
    ShortcutAction action, const std::optional<KeyboardShortcutBinding>& binding)
{
    if (!m_manager)
        return;
    if (const auto issue = m_manager->setBinding(action, binding)) {
        refuse(action, ShortcutIssues::message(*issue));
        return;
    }
    m_rows[action].field->stopRecording();
    m_rows[action].refusal.clear();
    refresh();
}

void ShortcutSettingsSection::refuse(ShortcutAction action, const QString& reason)
{
    Row& row = m_rows[action];
    row.field->refuse();
    row.refusal = reason;
    refresh();
}

void ShortcutSettingsSection::retranslate()
{
    m_heading->setText(L10n::tr("快捷键"));
    m_explanation->setText(L10n::tr(
        "点击输入框后按下组合键，松开按键保存。Esc 取消，Delete 清除。应用运行时全局生效，无需辅助功能权限；与系统或其他应用冲突时请重新设置。"));
    m_restore->setText(L10n::tr("恢复默认快捷键"));
    for (auto it = m_rows.begin(); it != m_rows.end(); ++it) {
        const QString name = ShortcutActions::title(it.key());
        it->name->setText(name);
        it->field->setAccessibleName(name);
        it->clear->setToolTip(L10n::tr("清除快捷键"));
        it->clear->setAccessibleName(L10n::tr("清除{0}快捷键", { name }));
    }
    refresh();
}

void ShortcutSettingsSection::refresh()
{
    for (auto it = m_rows.begin(); it != m_rows.end(); ++it) {
        const auto binding = m_manager ? m_manager->bindings().value(it.key()) : KeyboardShortcutBinding();
        const bool bound = m_manager && m_manager->bindings().contains(it.key());
        it->field->setBinding(bound ? std::optional(binding) : std::nullopt);
        it->clear->setEnabled(bound);
        QString issue = it->refusal;
        if (issue.isEmpty() && m_manager && !m_manager->isSuspended()
            && m_manager->issues().contains(it.key()))
            issue = ShortcutIssues::message(m_manager->issues().value(it.key()), it.key());
        it->issue->setText(issue);
        it->issue->setVisible(!issue.isEmpty());
    }
}

void ShortcutSettingsSection::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
