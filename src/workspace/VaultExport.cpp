#include "VaultExport.h"

#include "core/Uuid.h"
#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "platform/storage/StorageLocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kNameBytes = 255;
// New names asked for when a name is taken between looking and renaming.
constexpr int kNameAttempts = 8;

// The longest start of `text` of at most `count` characters (grapheme clusters) and
// `bytes` bytes of UTF-8.
QString leading(const QString& text, qsizetype count, qsizetype bytes)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (qsizetype taken = 0; taken < count; ++taken) {
        const qsizetype next = finder.toNextBoundary();
        if (next <= 0 || QStringView(text).left(next).toUtf8().size() > bytes)
            break;
        end = next;
    }
    return text.left(end);
}

// A name as a message shows it: control characters would break the sentence.
QString shown(const QString& name)
{
    QString text = name;
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QChar(0xFFFD);
    }
    const QString start = leading(text, 60, std::numeric_limits<qsizetype>::max());
    return start.size() < text.size() ? start + QChar(0x2026) : text;
}

// One entry of a folder, as the file system can store it.
bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0)) && name.toUtf8().size() <= kNameBytes;
}

// A name a note can embed: the vault's link syntax ("![[name]]") must be able to spell it.
bool isEmbeddable(const QString& name)
{
    return isPlainName(name) && std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c.category() == QChar::Other_Control || QStringLiteral("[]|#^").contains(c);
    });
}

StorageError unusableName(const QString& name)
{
    return { L10n::tr("“{0}”不能用作 Obsidian 仓库中的文件名。", { shown(name) }) };
}

QString reason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return L10n::tr("磁盘空间不足");
    case EROFS:
        return L10n::tr("磁盘是只读的");
    case EACCES:
    case EPERM:
        return L10n::tr("没有权限");
    case ENOENT:
    case ENOTDIR:
        return L10n::tr("文件或文件夹已不存在");
    case EEXIST:
        return L10n::tr("同名文件已存在");
    case EIO:
        return L10n::tr("读写磁盘时出错");
    default:
        return L10n::tr("系统错误 {0}", { QString::number(error) });
    }
}

StorageError writeFailure(const QString& name, int error)
{
    return { L10n::tr("无法写入“{0}”：{1}。", { shown(name), reason(error) }) };
}

StorageError readFailure(const QString& path, int error)
{
    return { L10n::tr("无法读取“{0}”：{1}。", { shown(QFileInfo(path).fileName()), reason(error) }) };
}

class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor() { close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now: 0, or the error (a write the file system reports late).
    int close()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int m_fd;
};

// 0, or the error.
int writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= written;
    }
    return 0;
}

// Any entry, a dangling symbolic link included.
bool entryExists(int folder, const QByteArray& name)
{
    struct stat info;
    return ::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// Renames `temporary` to `name` unless an entry of that name exists: 0, EEXIST or the error.
int moveIntoPlace(int folder, const QByteArray& temporary, const QByteArray& name)
{
    if (::renameat2(folder, temporary.constData(), folder, name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // Without an atomic rename that refuses to replace, a hard link refuses just as well.
    if (::linkat(folder, temporary.constData(), folder, name.constData(), 0) == 0) {
        ::unlinkat(folder, temporary.constData(), 0);
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP)
        return errno;
    // Neither (FAT): the name is looked at right before the rename.
    if (entryExists(folder, name))
        return EEXIST;
    return ::renameat(folder, temporary.constData(), folder, name.constData()) == 0 ? 0 : errno;
}

struct Placed {
    QString path;
    bool written = false;
};

// Writes a file's content into the descriptor; the failure, if any.
using Filler = std::function<std::optional<StorageError>(int fd, const QString& name)>;

// A new file in `folder` named by `nextName`. When the name is taken, `keepExisting` leaves
// the entry as it is; otherwise another name is asked for.
Result<Placed> place(
    const QString& folder, const std::function<QString()>& nextName, bool keepExisting, const Filler& fill)
{
    QString name = nextName();
    const Descriptor directory(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
    if (directory.get() < 0)
        return writeFailure(name, errno);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt, name = nextName()) {
        if (!isPlainName(name))
            return unusableName(name);
        const QByteArray encoded = QFile::encodeName(name);
        const Placed existing { QDir(folder).filePath(name), false };
        if (entryExists(directory.get(), encoded)) {
            if (keepExisting)
                return existing;
            continue;
        }
        const QByteArray temporary
            = QFile::encodeName(QStringLiteral(".tandrel-%1.tmp").arg(Uuid::text(Uuid::create())));
        Descriptor file(
            ::openat(directory.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (file.get() < 0)
            return writeFailure(name, errno);
        std::optional<StorageError> failure = fill(file.get(), name);
        if (!failure && ::fsync(file.get()) != 0)
            failure = writeFailure(name, errno);
        if (const int error = file.close(); !failure && error)
            failure = writeFailure(name, error);
        const int moved = failure ? 0 : moveIntoPlace(directory.get(), temporary, encoded);
        if (failure || moved != 0)
            ::unlinkat(directory.get(), temporary.constData(), 0);
        if (failure)
            return *failure;
        if (moved == 0)
            return Placed { existing.path, true };
        if (moved != EEXIST)
            return writeFailure(name, moved);
        if (keepExisting)
            return existing;
    }
    return writeFailure(name, EEXIST);
}

Filler textOf(const QByteArray& content)
{
    return [content](int fd, const QString& name) -> std::optional<StorageError> {
        if (const int error = writeAll(fd, content.constData(), content.size()))
            return writeFailure(name, error);
        return std::nullopt;
    };
}

Filler copyOf(const QString& source)
{
    return [source](int fd, const QString& name) -> std::optional<StorageError> {
        const Descriptor input(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
        if (input.get() < 0)
            return readFailure(source, errno);
        QByteArray buffer(256 * 1024, Qt::Uninitialized);
        for (;;) {
            const ssize_t got = ::read(input.get(), buffer.data(), size_t(buffer.size()));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return readFailure(source, errno);
            if (got == 0)
                return std::nullopt;
            if (const int error = writeAll(fd, buffer.constData(), got))
                return writeFailure(name, error);
        }
    };
}

QString standardised(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

// Abbreviated date and a short time, or a time with seconds, in the interface's locale.
QString abbreviatedDateAndTime(const QDateTime& date, bool withSeconds)
{
    const QLocale locale = L10n::locale();
    const QDateTime local = date.toLocalTime();
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    if (withSeconds)
        timeFormat.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    const QString time = locale.toString(local.time(), timeFormat);
    if (locale.language() == QLocale::Chinese)
        return locale.toString(local.date(), QStringLiteral("yyyy年M月d日")) + QLatin1Char(' ') + time;
    return locale.toString(local.date(), QStringLiteral("MMM d, yyyy")) + QStringLiteral(", ") + time;
}

QString sixCharacters()
{
    return Uuid::text(Uuid::create()).left(6);
}

} // namespace

VaultExport::VaultExport(QString vault, const StorageLocations& storage, QDateTime now)
    : m_vault(std::move(vault))
    , m_storage(storage)
    , m_now(std::move(now))
{
}

QString VaultExport::safeTitle(const QString& title)
{
    QString safe = title;
    for (QChar& c : safe) {
        if (c.category() == QChar::Other_Control || c == QLatin1Char('/') || c == QLatin1Char(':')
            || c == QLatin1Char('\\'))
            c = QLatin1Char('-');
    }
    safe = safe.trimmed();
    if (safe.isEmpty())
        return L10n::tr("笔记");
    return leading(safe, 80, std::numeric_limits<qsizetype>::max());
}

QString VaultExport::fittedName(const QString& stem, const QString& suffix)
{
    return leading(stem, std::numeric_limits<qsizetype>::max(), kNameBytes - suffix.toUtf8().size()) + suffix;
}

QString VaultExport::seconds() const
{
    return QString::number(m_now.toSecsSinceEpoch());
}

Result<QString> VaultExport::folder(const QString& path) const
{
    return m_storage.exportDirectory(m_vault, path);
}

Result<QString> VaultExport::exportNote(
    const std::optional<NotePage>& page, const RecordingStore& audio) const
{
    const auto notes = folder(QStringLiteral("Sidebar"));
    if (!notes)
        return notes.error();
    if (page && !page->attachments.isEmpty()) {
        const auto target = folder(m_storage.recordingExportPath());
        if (!target)
            return target.error();
        for (const NoteAudio& item : page->attachments) {
            if (!isEmbeddable(item.filename))
                return unusableName(item.filename);
            const auto copied = place(
                target.value(), [&] { return item.filename; }, true,
                [&](int fd, const QString& name) -> std::optional<StorageError> {
                    const auto local = audio.recording(item.filename);
                    if (!local)
                        return StorageError { L10n::tr("音频文件缺失：{0}", { item.filename }) };
                    return copyOf(local->path)(fd, name);
                });
            if (!copied)
                return copied.error();
        }
    }
    if (page && !page->files.isEmpty()) {
        const auto target = folder(m_storage.attachmentExportPath());
        if (!target)
            return target.error();
        for (const NoteFile& file : page->files) {
            const auto source = m_storage.fileURL(file);
            if (!source)
                return source.error();
            if (!isEmbeddable(file.filename))
                return unusableName(file.filename);
            // The attachment folder may itself be the export folder.
            if (standardised(source.value()) == standardised(QDir(target.value()).filePath(file.filename)))
                continue;
            const auto copied = place(
                target.value(), [&] { return file.filename; }, true, copyOf(source.value()));
            if (!copied)
                return copied.error();
        }
    }
    const QString stem = safeTitle(page ? page->title : QString());
    const auto written = place(
        notes.value(),
        [&] { return fittedName(stem, QStringLiteral("-%1-%2.md").arg(seconds(), sixCharacters())); }, false,
        textOf(page ? page->content.toUtf8() : QByteArray()));
    if (!written)
        return written.error();
    return written.value().path;
}

Result<QString> VaultExport::exportTasks(const QList<TaskItem>& tasks) const
{
    const auto target = folder(QStringLiteral("Sidebar/Tasks"));
    if (!target)
        return target.error();
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|[\n\v\f\r\\x{85}\\x{2028}\\x{2029}]"));
    QStringList lines;
    for (const TaskItem& task : tasks) {
        QString line = (task.isCompleted ? QStringLiteral("- [x] ") : QStringLiteral("- [ ] "))
            + QString(task.title).replace(lineBreak, QStringLiteral(" "));
        if (task.reminderAt)
            line += L10n::tr("（提醒：{0}）", { abbreviatedDateAndTime(*task.reminderAt, false) });
        lines << line;
    }
    const QString content = L10n::tr("# 待办事项\n\n") + lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    const auto written = place(
        target.value(),
        [this] {
            return fittedName(L10n::tr("待办事项-{0}-{1}.md", { seconds(), sixCharacters() }), {});
        },
        false, textOf(content.toUtf8()));
    if (!written)
        return written.error();
    return written.value().path;
}

Result<QString> VaultExport::exportRecording(const AudioRecording& recording) const
{
    const QString name = recording.filename();
    if (!isEmbeddable(name))
        return unusableName(name);
    const auto target = folder(m_storage.recordingExportPath());
    if (!target)
        return target.error();
    const auto copied = place(
        target.value(), [&] { return name; }, true, copyOf(recording.path));
    if (!copied)
        return copied.error();
    const QString text = L10n::tr(
        "# 快捷录音\n\n{0}\n\n![[{1}]]\n", { abbreviatedDateAndTime(recording.createdAt, true), name });
    const auto note = place(
        target.value(), [&] { return fittedName(QFileInfo(name).completeBaseName(), QStringLiteral(".md")); },
        true, textOf(text.toUtf8()));
    if (!note)
        return note.error();
    return note.value().path;
}
