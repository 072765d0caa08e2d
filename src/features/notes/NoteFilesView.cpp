#include "NoteFilesView.h"

#include "design/Symbols.h"
#include "platform/localization/L10n.h"
#include "workspace/PlainText.h"
#include "workspace/WorkspaceStore.h"

#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

NoteFilesView::NoteFilesView(WorkspaceStore* store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName("noteFiles");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_list = new QWidget(this);
    m_list->setObjectName("noteFileList");
    m_rows = new QVBoxLayout(m_list);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(2);
    layout->addWidget(m_list);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("fileCopyProgress");
    m_progress->setRange(0, 100);
    layout->addWidget(m_progress);

    connect(m_store, &WorkspaceStore::pagesChanged, this, &NoteFilesView::rebuild);
    connect(m_store, &WorkspaceStore::selectedPageIDChanged, this, &NoteFilesView::rebuild);
    connect(m_store, &WorkspaceStore::fileCopyProgressChanged, this, &NoteFilesView::refreshProgress);
    rebuild();
    refreshProgress();
}

void NoteFilesView::rebuild()
{
    const auto page = m_store->currentPage();
    const QList<NoteFile> files = page ? page->files : QList<NoteFile>();
    QStringList signature { L10n::tr("打开附件：{0}", { QString() }) };
    for (const NoteFile& file : files)
        signature << Uuid::text(file.id) << file.originalName;
    if (signature == m_signature)
        return;
    m_signature = signature;

    while (QLayoutItem* item = m_rows->takeAt(0)) {
        // A row may be replaced while its own click is being handled.
        if (QWidget* row = item->widget()) {
            row->hide();
            row->setParent(nullptr);
            row->deleteLater();
        }
        delete item;
    }
    for (const NoteFile& file : files) {
        auto* open = new QPushButton(file.originalName, m_list);
        open->setObjectName("noteFileButton");
        open->setFlat(true);
        open->setIcon(Symbols::icon(Symbol::Attachment));
        open->setStyleSheet(QStringLiteral("text-align: left"));
        const QString help = L10n::tr("打开附件：{0}", { file.originalName });
        open->setToolTip(PlainText::toolTip(help));
        open->setAccessibleName(help);
        connect(open, &QPushButton::clicked, this, [this, file] { m_store->openFile(file); });
        m_rows->addWidget(open);
    }
    m_list->setAccessibleName(L10n::tr("文件附件"));
    m_list->setVisible(!files.isEmpty());
}

void NoteFilesView::refreshProgress()
{
    const int percent = m_store->fileCopyPercent();
    m_progress->setVisible(percent >= 0);
    if (percent < 0)
        return;
    const QString text
        = L10n::tr("正在复制“{0}”… {1}%", { m_store->copyingFileName(), QString::number(percent) });
    m_progress->setValue(percent);
    m_progress->setFormat(text);
    m_progress->setAccessibleName(text);
}

void NoteFilesView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_signature.clear();
        rebuild();
        refreshProgress();
    }
    QWidget::changeEvent(event);
}
