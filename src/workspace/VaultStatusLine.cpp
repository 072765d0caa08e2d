#include "VaultStatusLine.h"

#include "WorkspaceStore.h"
#include "design/StatusPalette.h"
#include "design/Symbols.h"
#include "platform/localization/L10n.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

VaultStatusLine::VaultStatusLine(WorkspaceStore* store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName("vaultStatusLine");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 0, 3, 0);
    layout->setSpacing(6);
    m_dot = new QLabel(this);
    m_dot->setObjectName("vaultStatusDot");
    m_text = new QLabel(this);
    m_text->setObjectName("vaultStatusLabel");
    // A folder's name is plain text.
    m_text->setTextFormat(Qt::PlainText);
    m_text->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = m_text->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.8);
    m_text->setFont(caption);
    layout->addWidget(m_dot);
    layout->addWidget(m_text, 1);
    connect(m_store, &WorkspaceStore::vaultPathChanged, this, &VaultStatusLine::retranslate);
    retranslate();
}

void VaultStatusLine::retranslate()
{
    const bool connected = m_store->vaultPath().has_value();
    m_dot->setPixmap(
        Symbols::dot(connected ? StatusPalette::rest() : StatusPalette::secondary(), 5).pixmap(5, 5));
    m_dot->setProperty("connected", connected);
    m_text->setText(connected ? QStringLiteral("Obsidian · ") + m_store->vaultName()
                              : L10n::tr("连接 Obsidian，让记录有处可去"));
}

void VaultStatusLine::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
