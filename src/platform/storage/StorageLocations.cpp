#include "StorageLocations.h"

#include "core/Uuid.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"
#include "platform/storage/FolderBookmark.h"
#include "platform/storage/FolderChooser.h"

#include <tuple>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kStorageFolders = QStringLiteral("storageFolders");
const QString kFileFolderID = QStringLiteral("fileFolderID");
const QString kRecordingFolderID = QStringLiteral("recordingFolderID");
const QString kAttachmentExportPath = QStringLiteral("attachmentExportPath");
const QString kRecordingExportPath = QStringLiteral("recordingExportPath");

QString standardised(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The path with every symbolic link resolved. A path that does not exist yet keeps its
// missing tail below the deepest folder that does, and a dangling link is followed to
// where it would lead; `depth` stops link cycles.
QString withLinksResolved(const QString& path, int depth = 0)
{
    QString existing = QDir::cleanPath(path);
    QStringList missing;
    while (!QFileInfo::exists(existing)) {
        const QFileInfo info(existing);
        if (info.isSymLink() && depth < 40) {
            QString target = info.symLinkTarget();
            if (!missing.isEmpty())
                target += QLatin1Char('/') + missing.join(QLatin1Char('/'));
            return withLinksResolved(target, depth + 1);
        }
        const QString parent = info.path();
        if (parent == existing)
            break;
        missing.prepend(info.fileName());
        existing = parent;
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    const QString head = canonical.isEmpty() ? existing : canonical;
    return missing.isEmpty() ? head
                             : QDir::cleanPath(head + QLatin1Char('/') + missing.join(QLatin1Char('/')));
}

bool isInside(const QString& path, const QString& base)
{
    if (path == base)
        return true;
    return path.startsWith(base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/'));
}

// A stored file name names one entry of its folder; anything that could reach elsewhere
// ("..", a slash) is refused so a damaged or crafted workspace cannot point outside.
bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString expiredAccessIssue()
{
    return L10n::tr("部分附件目录授权已失效，请重新选择原文件夹。");
}

} // namespace

StorageLocations::StorageLocations(Preferences* preferences, std::optional<QString> baseDirectory,
    std::shared_ptr<FolderChooser> chooser, QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_baseDirectory(std::move(baseDirectory))
    , m_chooser(chooser ? std::move(chooser) : std::make_shared<DialogFolderChooser>())
{
    m_attachmentExportPath
        = m_preferences->string(kAttachmentExportPath).value_or(QStringLiteral("Sidebar/Attachments"));
    m_recordingExportPath
        = m_preferences->string(kRecordingExportPath).value_or(QStringLiteral("Sidebar/Recordings"));

    if (const auto data = m_preferences->data(kStorageFolders)) {
        if (const auto folders = StoredFolders::decode(*data)) {
            m_folders = *folders;
        } else {
            // The save below rewrites the key; the bookmarks in it are the only way back to
            // the user's folders, so the unreadable bytes are kept under another key.
            const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
            QString backupKey = kStorageFolders + QStringLiteral(".unreadable-") + stamp;
            for (int n = 2; m_preferences->contains(backupKey); ++n)
                backupKey
                    = kStorageFolders + QStringLiteral(".unreadable-") + stamp + QStringLiteral("-%1").arg(n);
            m_unreadableFolders = UnreadableFolders { backupKey, *data };
        }
    }
    const auto storedID = [this](const QString& key) -> std::optional<QUuid> {
        const auto text = m_preferences->string(key);
        return text ? Uuid::parse(*text) : std::nullopt;
    };
    m_fileFolderID = storedID(kFileFolderID);
    m_recordingFolderID = storedID(kRecordingFolderID);

    resolveFolders();
    save();
}

StorageLocations::~StorageLocations() = default;

QString StorageLocations::rawValue(Kind kind)
{
    return kind == Kind::files ? QStringLiteral("files") : QStringLiteral("recordings");
}

void StorageLocations::resolveFolders()
{
    for (StoredFolder& folder : m_folders) {
        const auto resolved = FolderBookmark::resolve(folder.bookmark);
        if (!resolved) {
            setIssue(expiredAccessIssue());
            continue;
        }
        const QString path = resolved.value().path;
        if (FolderBookmark::startAccessing(path) && !m_scopes.contains(path))
            m_scopes.append(path);
        m_resolved.insert(folder.id, path);
        if (resolved.value().isStale) {
            if (const auto renewed = FolderBookmark::create(path))
                folder.bookmark = renewed.value();
            else
                setIssue(expiredAccessIssue());
        }
    }
}

std::optional<QUuid> StorageLocations::folderID(Kind kind) const
{
    return kind == Kind::files ? m_fileFolderID : m_recordingFolderID;
}

void StorageLocations::setFolderID(Kind kind, std::optional<QUuid> id)
{
    std::optional<QUuid>& field = kind == Kind::files ? m_fileFolderID : m_recordingFolderID;
    if (field == id)
        return;
    field = id;
    if (kind == Kind::files)
        emit fileFolderIDChanged();
    else
        emit recordingFolderIDChanged();
}

void StorageLocations::setAttachmentExportPath(const QString& path)
{
    if (path == m_attachmentExportPath)
        return;
    m_attachmentExportPath = path;
    // A failed write is written again by the preferences; the path holds for this run.
    std::ignore = m_preferences->setString(kAttachmentExportPath, path);
    emit attachmentExportPathChanged();
}

void StorageLocations::setRecordingExportPath(const QString& path)
{
    if (path == m_recordingExportPath)
        return;
    m_recordingExportPath = path;
    std::ignore = m_preferences->setString(kRecordingExportPath, path);
    emit recordingExportPathChanged();
}

void StorageLocations::setIssue(const std::optional<QString>& issue)
{
    if (issue == m_issue)
        return;
    m_issue = issue;
    emit issueChanged();
}

std::optional<QString> StorageLocations::resolvedPath(const QUuid& id) const
{
    if (const auto found = m_resolved.constFind(id); found != m_resolved.constEnd())
        return *found;
    return std::nullopt;
}

Result<QString> StorageLocations::defaultDirectory(Kind kind) const
{
    const QString parent
        = m_baseDirectory.value_or(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    const QString name = kind == Kind::files ? QStringLiteral("Attachments") : QStringLiteral("Recordings");
    if (parent.isEmpty())
        return StorageError { L10n::tr("无法创建文件夹“{0}”。", { name }) };
    const QString path = QDir(parent).filePath(name);
    if (!QDir().mkpath(path))
        return StorageError { L10n::tr("无法创建文件夹“{0}”。", { path }) };
    return path;
}

Result<QString> StorageLocations::directory(Kind kind, std::optional<QUuid> folderID) const
{
    const std::optional<QUuid> id = folderID ? folderID : this->folderID(kind);
    if (!id)
        return defaultDirectory(kind);
    if (const auto path = resolvedPath(*id))
        return *path;
    return StorageError { L10n::tr("附件目录不可用，请重新选择原文件夹。") };
}

Result<QString> StorageLocations::fileURL(const NoteFile& file) const
{
    if (!isPlainFileName(file.filename))
        return StorageError { L10n::tr("附件“{0}”的文件名无效。", { file.originalName }) };
    if (file.folderID) {
        const auto path = resolvedPath(*file.folderID);
        if (!path)
            return StorageError { L10n::tr("文件目录授权失效：{0}", { file.originalName }) };
        return QDir(*path).filePath(file.filename);
    }
    const auto folder = defaultDirectory(Kind::files);
    if (!folder)
        return folder.error();
    return QDir(folder.value()).filePath(file.filename);
}

QStringList StorageLocations::recordingDirectories() const
{
    QStringList directories;
    for (const StoredFolder& folder : m_folders) {
        if (folder.kind != rawValue(Kind::recordings))
            continue;
        const auto path = resolvedPath(folder.id);
        if (path && !directories.contains(*path))
            directories.append(*path);
    }
    if (const auto folder = defaultDirectory(Kind::recordings);
        folder && !directories.contains(folder.value()))
        directories.append(folder.value());
    return directories;
}

QString StorageLocations::label(Kind kind) const
{
    const auto id = folderID(kind);
    if (!id)
        return L10n::tr("应用本地目录");
    if (const auto path = resolvedPath(*id))
        return *path;
    return L10n::tr("目录授权已失效");
}

void StorageLocations::select(Kind kind)
{
    const QString title
        = kind == Kind::files ? L10n::tr("选择文件附件存放目录") : L10n::tr("选择录音存放目录");
    const auto chosen = m_chooser->chooseFolder(title);
    if (!chosen || chosen->isEmpty())
        return;
    const QString path = standardised(*chosen);
    const auto bookmark = FolderBookmark::create(path);
    if (!bookmark) {
        setIssue(L10n::tr("无法授权目录：{0}", { bookmark.error().text() }));
        return;
    }

    // The same folder keeps its id, so files already stored there stay reachable.
    std::optional<QUuid> id;
    for (const StoredFolder& folder : m_folders) {
        const auto resolved = resolvedPath(folder.id);
        if (resolved && standardised(*resolved) == path) {
            id = folder.id;
            break;
        }
    }
    if (!id) {
        for (const StoredFolder& folder : m_folders) {
            if (folder.kind == rawValue(kind) && folder.originalPath == path) {
                id = folder.id;
                break;
            }
        }
    }
    if (!id)
        id = Uuid::create();

    auto entry = std::find_if(m_folders.begin(), m_folders.end(),
        [&](const StoredFolder& folder) { return folder.id == *id && folder.kind == rawValue(kind); });
    if (entry != m_folders.end()) {
        entry->bookmark = bookmark.value();
        entry->originalPath = path;
    } else {
        m_folders.append(StoredFolder {
            .id = *id, .kind = rawValue(kind), .bookmark = bookmark.value(), .originalPath = path });
    }

    if (FolderBookmark::startAccessing(path) && !m_scopes.contains(path))
        m_scopes.append(path);
    m_resolved.insert(*id, path);
    setFolderID(kind, id);
    setIssue(std::nullopt);
    save();
    emit foldersChanged();
}

void StorageLocations::useDefault(Kind kind)
{
    setFolderID(kind, std::nullopt);
    save();
}

std::optional<StorageError> StorageLocations::checkExportPath(const QString& path)
{
    const StorageError relativeOnly { L10n::tr(
        "附件保存路径必须是仓库内的相对目录，不能包含 .. 或空目录名。") };
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('/')) || trimmed.contains(QLatin1Char('\\')))
        return relativeOnly;
    for (const QString& piece : trimmed.split(QLatin1Char('/'), Qt::KeepEmptyParts)) {
        if (piece.isEmpty() || piece == QLatin1String(".") || piece == QLatin1String(".."))
            return relativeOnly;
    }
    return std::nullopt;
}

Result<QString> StorageLocations::exportDirectory(const QString& vault, const QString& path) const
{
    if (auto refused = checkExportPath(path))
        return *refused;
    const QStringList pieces = path.trimmed().split(QLatin1Char('/'), Qt::KeepEmptyParts);

    // A vault that is not there (an unplugged drive) must not be recreated as an empty
    // folder tree in its place.
    const QString base = QFileInfo(vault).canonicalFilePath();
    if (base.isEmpty() || !QFileInfo(base).isDir())
        return StorageError { L10n::tr("文件夹“{0}”不存在或无法读取。", { vault }) };

    QString current = base;
    for (const QString& piece : pieces) {
        const QString candidate = current + QLatin1Char('/') + piece;
        const QFileInfo info(candidate);
        const QString next
            = info.isSymLink() ? withLinksResolved(info.symLinkTarget()) : QDir::cleanPath(candidate);
        if (!isInside(next, base))
            return StorageError { L10n::tr("附件目录必须位于 Obsidian 仓库内。") };
        current = next;
    }
    if (!QDir().mkpath(current) || !QFileInfo(current).isDir())
        return StorageError { L10n::tr("无法创建文件夹“{0}”。", { current }) };
    return current;
}

void StorageLocations::save()
{
    // Failed writes are written again by the preferences; the folders hold for this run.
    // Until the unreadable bytes are kept aside, they stay where they are.
    if (m_unreadableFolders && m_preferences->setData(m_unreadableFolders->key, m_unreadableFolders->data))
        m_unreadableFolders.reset();
    if (!m_unreadableFolders)
        std::ignore = m_preferences->setData(kStorageFolders, StoredFolders::encode(m_folders));
    const auto text
        = [](const std::optional<QUuid>& id) { return id ? std::optional(Uuid::text(*id)) : std::nullopt; };
    std::ignore = m_preferences->setString(kFileFolderID, text(m_fileFolderID));
    std::ignore = m_preferences->setString(kRecordingFolderID, text(m_recordingFolderID));
}
