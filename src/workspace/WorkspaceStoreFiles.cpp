// Files dropped onto the sidebar: copied into the attachment folder off the main thread,
// attached to one page per drop and embedded in its note.

#include "WorkspaceStore.h"

#include "platform/localization/L10n.h"
#include "platform/storage/FileCopy.h"
#include "platform/storage/FileOpener.h"
#include "platform/storage/StorageLocations.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMimeData>
#include <QTextBoundaryFinder>

namespace {

// A copy that takes longer than this shows its progress, refreshed at this interval.
constexpr qint64 kProgressDelayMs = 400;
constexpr qint64 kProgressIntervalMs = 100;
constexpr qsizetype kBaseCharacters = 80;
constexpr qsizetype kExtensionCharacters = 20;
// The longest file name, in bytes, that Linux file systems accept.
constexpr qsizetype kNameBytes = 255;

// A name's base and extension: the extension follows the last dot, unless that dot
// begins or ends the name (".profile", "draft.").
std::pair<QString, QString> splitExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1)
        return { name, QString() };
    return { name.left(dot), name.mid(dot + 1) };
}

// Characters that would break a path or the "![[...]]" embed of the note.
bool isForbidden(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
        return true;
    default:
        return c == U'/' || c == U':' || c == U'\\' || c == U'[' || c == U']' || c == U'|' || c == U'#'
            || c == U'^';
    }
}

bool isAlphanumeric(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return true;
    default:
        return QChar::isLetter(c);
    }
}

// The first `count` user-perceived characters.
QString firstCharacters(const QString& text, qsizetype count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype i = 0; i < count; ++i) {
        if (finder.toNextBoundary() == -1)
            return text;
    }
    return text.left(finder.position());
}

QString withoutLastCharacter(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype last = finder.toPreviousBoundary();
    return text.left(std::max<qsizetype>(last, 0));
}

QString copyErrorText(FileCopy::Error error, const QString& name)
{
    switch (error) {
    case FileCopy::Error::notRegularFile:
        return L10n::tr("请拖入普通文件；暂不支持文件夹或符号链接。");
    case FileCopy::Error::missing:
        return L10n::tr("文件“{0}”已不存在。", { name });
    case FileCopy::Error::unreadable:
        return L10n::tr("无法读取文件“{0}”。", { name });
    case FileCopy::Error::changed:
        return L10n::tr("文件“{0}”在复制过程中被移动、删除或修改。", { name });
    case FileCopy::Error::diskFull:
        return L10n::tr("磁盘空间不足，无法保存“{0}”的副本。", { name });
    case FileCopy::Error::none:
    case FileCopy::Error::writeFailed:
    case FileCopy::Error::cancelled:
        break;
    }
    return L10n::tr("无法在附件文件夹中保存“{0}”的副本。", { name });
}

QList<QUrl> localFiles(const QList<QUrl>& urls)
{
    QList<QUrl> files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files.append(url);
    }
    return files;
}

} // namespace

QString WorkspaceStore::storedFileName(const QString& originalName, const QUuid& id)
{
    const auto [stem, suffix] = splitExtension(originalName);
    QString base;
    for (const char32_t c : stem.toUcs4())
        base += isForbidden(c) ? QStringLiteral("-") : QString::fromUcs4(&c, 1);
    base = firstCharacters(base, kBaseCharacters);
    QString extension;
    for (const char32_t c : suffix.toUcs4()) {
        if (isAlphanumeric(c))
            extension += QString::fromUcs4(&c, 1);
    }
    extension = firstCharacters(extension, kExtensionCharacters);
    const QString tail = QLatin1Char('-') + Uuid::text(id)
        + (extension.isEmpty() ? QString() : QLatin1Char('.') + extension);
    // Eighty characters of Chinese or emoji exceed what the file system takes in one name.
    while (!base.isEmpty() && (base + tail).toUtf8().size() > kNameBytes)
        base = withoutLastCharacter(base);
    return base + tail;
}

bool WorkspaceStore::receiveFiles(const QMimeData* data)
{
    const QList<QUrl> files = data ? localFiles(data->urls()) : QList<QUrl>();
    if (files.isEmpty())
        return false;
    const NoteInsertionTarget target = captureNoteTarget(m_fileDropNoteDestination);
    QMetaObject::invokeMethod(
        this,
        [this, files, target] {
            // A file address naming another machine is not a file here.
            QList<QUrl> readable;
            for (const QUrl& url : files) {
                const QString host = url.host();
                if (!url.toLocalFile().isEmpty() && (host.isEmpty() || host == QLatin1String("localhost")))
                    readable.append(url);
            }
            if (readable.isEmpty()) {
                setMessage(L10n::tr("无法读取拖入的文件，请从文件管理器拖入本地文件。"));
                return;
            }
            importDroppedFiles(readable, target);
        },
        Qt::QueuedConnection);
    return true;
}

bool WorkspaceStore::receiveFileURLs(const QList<QUrl>& urls)
{
    const QList<QUrl> files = localFiles(urls);
    if (files.isEmpty())
        return false;
    const NoteInsertionTarget target = captureNoteTarget(m_fileDropNoteDestination);
    QMetaObject::invokeMethod(
        this, [this, files, target] { importDroppedFiles(files, target); }, Qt::QueuedConnection);
    return true;
}

void WorkspaceStore::importDroppedFiles(const QList<QUrl>& urls, std::optional<NoteInsertionTarget> target)
{
    const QList<QUrl> files = localFiles(urls);
    if (files.isEmpty())
        return;
    const NoteInsertionTarget destination = target.value_or(captureNoteTarget(m_fileDropNoteDestination));
    const QString title = splitExtension(QFileInfo(files.first().toLocalFile()).fileName()).first;
    const QUuid pageID = resolveNoteTarget(destination, title);
    for (const QUrl& url : files)
        m_fileImports.append({ url, pageID });
    setImportingFiles(true);
    importNextFile();
}

void WorkspaceStore::importNextFile()
{
    while (!m_copyingFile && !m_fileImports.isEmpty()) {
        const FileImport next = m_fileImports.takeFirst();
        const bool pageExists = std::any_of(
            m_pages.cbegin(), m_pages.cend(), [&](const NotePage& page) { return page.id == next.pageID; });
        if (!pageExists)
            continue;
        const auto directory = m_storage->directory(StorageLocations::Kind::files);
        if (!directory) {
            setMessage(L10n::tr("文件未能加入笔记：{0}", { directory.error().text() }));
            continue;
        }
        const NoteFile file {
            .filename = QString(),
            .originalName = QFileInfo(next.url.toLocalFile()).fileName(),
            .folderID = m_storage->fileFolderID(),
        };
        const QString source = next.url.toLocalFile();
        const QString storedName = storedFileName(file.originalName, Uuid::create());
        const QString destination = QDir(directory.value()).filePath(storedName);
        const QUuid pageID = next.pageID;
        m_copyingFile = true;
        m_fileCopy.start([this, source, destination, storedName, pageID, file](
                             const BackgroundJobs::Job& job) {
            QElapsedTimer clock;
            clock.start();
            qint64 shownAt = -1;
            const auto progress = [&](qint64 copied, qint64 total) {
                const qint64 now = clock.elapsed();
                if (now >= kProgressDelayMs && (shownAt < 0 || now - shownAt >= kProgressIntervalMs)) {
                    shownAt = now;
                    const int percent = total > 0 ? int(copied * 100 / total) : 100;
                    job.post(
                        [this, name = file.originalName, percent] { setFileCopyProgress(name, percent); });
                }
                return !job.isCancelled();
            };
            const FileCopy::Error error = FileCopy::copy(source, destination, progress);
            job.post([this, error, storedName, pageID, file] {
                m_copyingFile = false;
                setFileCopyProgress(QString(), -1);
                const auto index = [&]() -> qsizetype {
                    for (qsizetype i = 0; i < m_pages.size(); ++i) {
                        if (m_pages.at(i).id == pageID)
                            return i;
                    }
                    return -1;
                };
                if (error != FileCopy::Error::none) {
                    setMessage(
                        L10n::tr("文件未能加入笔记：{0}", { copyErrorText(error, file.originalName) }));
                } else if (index() >= 0) {
                    // A page deleted meanwhile leaves the copy unreferenced in the folder.
                    QList<NotePage> pages = m_pages;
                    NoteFile attached = file;
                    attached.filename = storedName;
                    pages[index()].files.append(attached);
                    setPages(pages);
                    if (const qsizetype at = index(); at >= 0) {
                        pages = m_pages;
                        pages[at].content += QStringLiteral("\n\n![[") + storedName + QStringLiteral("]]\n");
                        setPages(pages);
                    }
                }
                importNextFile();
            });
        });
    }
    if (!m_copyingFile && m_fileImports.isEmpty())
        setImportingFiles(false);
}

void WorkspaceStore::setImportingFiles(bool importing)
{
    if (importing == m_importingFiles)
        return;
    m_importingFiles = importing;
    emit importingFilesChanged();
}

void WorkspaceStore::setFileCopyProgress(const QString& name, int percent)
{
    if (name == m_copyingFileName && percent == m_fileCopyPercent)
        return;
    m_copyingFileName = name;
    m_fileCopyPercent = percent;
    emit fileCopyProgressChanged();
}

void WorkspaceStore::openFile(const NoteFile& file)
{
    const auto path = m_storage->fileURL(file);
    if (!path) {
        setMessage(path.error().text());
        return;
    }
    if (!QFileInfo::exists(path.value())) {
        setMessage(L10n::tr("找不到附件文件“{0}”。", { file.originalName }));
        return;
    }
    if (!m_fileOpener->open(path.value()))
        setMessage(L10n::tr("无法打开附件“{0}”。", { file.originalName }));
}
