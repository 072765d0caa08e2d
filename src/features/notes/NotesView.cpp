#include "NotesView.h"

#include "NoteTextEditor.h"
#include "design/Symbols.h"
#include "platform/localization/L10n.h"
#include "workspace/WorkspaceStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTextBoundaryFinder>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
qsizetype graphemeCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}
} // namespace

NotesView::NotesView(WorkspaceStore* store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName("notesSection");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);

    auto* stripRow = new QHBoxLayout;
    auto* stripScroll = new QScrollArea(this);
    stripScroll->setObjectName("pageStrip");
    stripScroll->setWidgetResizable(true);
    stripScroll->setFrameShape(QFrame::NoFrame);
    stripScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stripScroll->setFixedHeight(34);
    m_strip = new QWidget(stripScroll);
    m_stripLayout = new QHBoxLayout(m_strip);
    m_stripLayout->setContentsMargins(0, 0, 0, 0);
    m_stripLayout->setSpacing(4);
    stripScroll->setWidget(m_strip);
    m_addPage = new QToolButton(this);
    m_addPage->setObjectName("addPageButton");
    m_addPage->setIcon(Symbols::icon("plus"));
    m_addPage->setAutoRaise(true);
    connect(m_addPage, &QToolButton::clicked, m_store, &WorkspaceStore::addPage);
    stripRow->addWidget(stripScroll, 1);
    stripRow->addWidget(m_addPage);
    layout->addLayout(stripRow);

    auto* header = new QHBoxLayout;
    header->setSpacing(4);
    m_title = new QLineEdit(this);
    m_title->setObjectName("pageTitleField");
    connect(m_title, &QLineEdit::textEdited, m_store, &WorkspaceStore::setCurrentPageTitle);
    header->addWidget(m_title, 1);
    for (NoteColor color : NoteColors::allCases()) {
        auto* swatch = new QToolButton(this);
        swatch->setObjectName("colorSwatch_" + NoteColors::storedValue(color));
        swatch->setAutoRaise(true);
        swatch->setCheckable(true);
        connect(swatch, &QToolButton::clicked, this, [this, color] { m_store->setCurrentPageColor(color); });
        header->addWidget(swatch);
        m_swatches.append(swatch);
    }
    m_deletePage = new QToolButton(this);
    m_deletePage->setObjectName("deletePageButton");
    m_deletePage->setAutoRaise(true);
    m_deletePage->setIcon(Symbols::icon("trash"));
    connect(m_deletePage, &QToolButton::clicked, this, [this] {
        if (const auto page = m_store->currentPage())
            confirmDeletePage(page->id);
    });
    header->addWidget(m_deletePage);
    layout->addLayout(header);

    m_editor = new NoteTextEditor(this);
    connect(m_editor, &NoteTextEditor::edited, m_store, &WorkspaceStore::setNote);
    layout->addWidget(m_editor, 1);

    m_footer = new QLabel(this);
    m_footer->setObjectName("noteFooterLabel");
    layout->addWidget(m_footer);

    connect(m_store, &WorkspaceStore::pagesChanged, this, [this] {
        rebuildStrip();
        refreshPage();
    });
    connect(m_store, &WorkspaceStore::selectedPageIDChanged, this, [this] {
        rebuildStrip();
        refreshPage();
    });
    retranslate();
    rebuildStrip();
    refreshPage();
}

void NotesView::rebuildStrip()
{
    // Typing changes the pages on every keystroke; the tabs only depend on these fields.
    QStringList signature { L10n::tr("未命名") };
    const auto selected = m_store->currentPage();
    signature << (selected ? Uuid::text(selected->id) : QString());
    for (const NotePage& page : m_store->pages())
        signature << Uuid::text(page.id) << page.title << NoteColors::storedValue(page.color);
    if (signature == m_stripSignature)
        return;
    m_stripSignature = signature;

    while (QLayoutItem* item = m_stripLayout->takeAt(0)) {
        if (QWidget* widget = item->widget())
            widget->deleteLater();
        delete item;
    }
    const auto current = m_store->currentPage();
    for (const NotePage& page : m_store->pages()) {
        auto* tab = new QToolButton(m_strip);
        tab->setObjectName("pageTab");
        tab->setProperty("pageID", page.id);
        tab->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        tab->setAutoRaise(true);
        tab->setCheckable(true);
        tab->setChecked(current && current->id == page.id);
        tab->setIcon(Symbols::dot(Symbols::noteColor(page.color), 8));
        tab->setText(WorkspaceStore::displayTitle(page));
        tab->setContextMenuPolicy(Qt::CustomContextMenu);
        const QUuid id = page.id;
        connect(tab, &QToolButton::clicked, this, [this, id] { m_store->selectPage(id); });
        connect(tab, &QToolButton::customContextMenuRequested, this, [this, tab, id](const QPoint& at) {
            QMenu menu(tab);
            menu.setObjectName("pageTabMenu");
            menu.addAction(L10n::tr("删除笔记…"), this, [this, id] { confirmDeletePage(id); });
            menu.exec(tab->mapToGlobal(at));
        });
        m_stripLayout->addWidget(tab);
    }
    m_stripLayout->addStretch(1);
}

void NotesView::refreshPage()
{
    const auto page = m_store->currentPage();
    const QString title = page ? page->title : QString();
    if (m_title->text() != title)
        m_title->setText(title);
    const auto colors = NoteColors::allCases();
    for (qsizetype i = 0; i < colors.size(); ++i) {
        const bool current = page && page->color == colors.at(i);
        m_swatches.at(i)->setChecked(current);
        m_swatches.at(i)->setIcon(Symbols::dot(Symbols::noteColor(colors.at(i)), 9, current));
    }
    m_editor->takeText(m_store->note());
    refreshFooter();
}

void NotesView::refreshFooter()
{
    m_footer->setText(L10n::tr("{0} 字 · Markdown", { QString::number(graphemeCount(m_store->note())) }));
}

void NotesView::confirmDeletePage(const QUuid& id)
{
    const auto& pages = m_store->pages();
    const auto it = std::find_if(pages.cbegin(), pages.cend(), [&](const NotePage& p) { return p.id == id; });
    if (it == pages.cend())
        return;
    if (m_confirmation)
        m_confirmation->deleteLater();
    auto* box = new QMessageBox(QMessageBox::Warning, L10n::tr("删除笔记？"), L10n::tr("删除笔记？"),
                                QMessageBox::NoButton, this);
    box->setObjectName("deletePageConfirmation");
    box->setInformativeText(WorkspaceStore::deletionConfirmationText(*it));
    QPushButton* cancel = box->addButton(L10n::tr("取消"), QMessageBox::RejectRole);
    cancel->setObjectName("cancelButton");
    QPushButton* remove = box->addButton(L10n::tr("删除"), QMessageBox::DestructiveRole);
    remove->setObjectName("deleteButton");
    box->setDefaultButton(cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(remove, &QPushButton::clicked, this, [this, id] { m_store->removePage(id); });
    m_confirmation = box;
    box->open();
}

void NotesView::retranslate()
{
    m_addPage->setToolTip(L10n::tr("新增笔记页面"));
    m_addPage->setAccessibleName(L10n::tr("新增笔记页面"));
    m_title->setPlaceholderText(L10n::tr("页面名称"));
    for (qsizetype i = 0; i < m_swatches.size(); ++i) {
        const QString name = L10n::tr(NoteColors::title(NoteColors::allCases().at(i)));
        m_swatches.at(i)->setToolTip(name);
        m_swatches.at(i)->setAccessibleName(name);
    }
    m_deletePage->setToolTip(L10n::tr("删除笔记…"));
    m_deletePage->setAccessibleName(L10n::tr("删除笔记…"));
    m_editor->retranslate();
    m_stripSignature.clear();
    rebuildStrip();
    refreshFooter();
}
