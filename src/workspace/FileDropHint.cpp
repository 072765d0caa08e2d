#include "FileDropHint.h"

#include "WorkspaceStore.h"
#include "design/Symbols.h"
#include "platform/localization/L10n.h"

#include <QEvent>
#include <QLabel>
#include <QMimeData>
#include <QVBoxLayout>

FileDropHint::FileDropHint(WorkspaceStore* store, QWidget* parent)
    : QFrame(parent)
    , m_store(store)
{
    setObjectName("fileDropHint");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFrameShape(QFrame::StyledPanel);
    setStyleSheet(QStringLiteral("#fileDropHint { border: 2px dashed palette(highlight); border-radius: 14px;"
                                 " background: palette(window); }"));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    m_icon = new QLabel(this);
    m_icon->setAlignment(Qt::AlignCenter);
    m_icon->setPixmap(Symbols::icon(Symbol::Attachment).pixmap(32, 32));
    layout->addWidget(m_icon);
    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setObjectName("fileDropHintText");
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    layout->addWidget(m_text);
    layout->addStretch(1);
    connect(m_store, &WorkspaceStore::fileDropNoteDestinationChanged, this, &FileDropHint::retranslate);
    retranslate();
    hide();
}

bool FileDropHint::offersFiles(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.cbegin(), urls.cend(), [](const QUrl& url) { return url.isLocalFile(); });
}

void FileDropHint::showOverParent()
{
    if (QWidget* window = parentWidget())
        setGeometry(window->rect().adjusted(8, 8, -8, -8));
    retranslate();
    raise();
    show();
}

void FileDropHint::retranslate()
{
    const QString text = m_store->fileDropNoteDestination() == NoteDestination::currentNote
        ? L10n::tr("松开以添加到当前笔记")
        : L10n::tr("松开以新建笔记并添加文件");
    m_text->setText(text);
    setAccessibleName(text);
}

void FileDropHint::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QFrame::changeEvent(event);
}
