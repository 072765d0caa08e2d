#include "Preferences.h"

#include "platform/localization/L10n.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace {

Preferences* s_standard = nullptr;

// FULL makes every commit fsync the WAL, so a write that returned also survives a power
// cut, not only a crash of the process; it costs a few milliseconds per write.
constexpr const char* kSetupSql = "PRAGMA journal_mode=WAL;"
                                  "PRAGMA synchronous=FULL;"
                                  "CREATE TABLE IF NOT EXISTS prefs("
                                  "key TEXT PRIMARY KEY NOT NULL, kind INTEGER NOT NULL, value);"
                                  "CREATE TABLE IF NOT EXISTS parts("
                                  "id INTEGER PRIMARY KEY, owner TEXT NOT NULL, bytes BLOB NOT NULL);"
                                  "CREATE INDEX IF NOT EXISTS parts_owner ON parts(owner);";

// Stored kind of a data value kept as parts: the row holds the list of part ids.
constexpr int kPartsKind = 5;
// Small parts (separators) are matched by content; larger ones by identity of their data.
constexpr qsizetype kSmallPart = 64;

// Long enough to ride out another instance's checkpoint, short enough not to freeze the UI.
constexpr int kBusyTimeoutMs = 2000;

constexpr const char* kDamagedKey = "设置数据库已损坏，已将原文件保留为 {0}，Tandrel 以空白设置启动。";
constexpr const char* kCannotOpenKey = "无法打开设置数据库 {0}，本次更改不会被保存。";

bool isDamage(int rc)
{
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::optional<Preferences::Kind> kindFromColumn(sqlite3_int64 stored)
{
    if (stored == kPartsKind)
        return Preferences::Kind::Data;
    if (stored < qint64(Preferences::Kind::Bool) || stored > qint64(Preferences::Kind::Data))
        return std::nullopt;
    return Preferences::Kind(stored);
}

// Statements are reused, so they are reset after every use; clearing the bindings also
// drops the pointers to buffers bound with SQLITE_STATIC, which die with the caller.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* statement)
        : m_statement(statement)
    {
    }
    ~StatementUse()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    sqlite3_stmt* m_statement;
};

bool bindKey(sqlite3_stmt* statement, const QByteArray& utf8)
{
    return sqlite3_bind_text64(
               statement, 1, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_STATIC, SQLITE_UTF8)
        == SQLITE_OK;
}

// Runs `reader(kind, statement)` on the row of `key`, positioned on the value column.
template <typename Reader>
auto readRow(sqlite3_stmt* select, const QString& key, Reader&& reader)
    -> std::invoke_result_t<Reader, Preferences::Kind, sqlite3_stmt*>
{
    if (!select)
        return std::nullopt;
    const QByteArray utf8 = key.toUtf8();
    StatementUse use(select);
    if (!bindKey(select, utf8) || sqlite3_step(select) != SQLITE_ROW)
        return std::nullopt;
    const auto kind = kindFromColumn(sqlite3_column_int64(select, 0));
    if (!kind)
        return std::nullopt;
    return reader(*kind, select);
}

QString columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

QByteArray columnBlob(sqlite3_stmt* statement, int column)
{
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
    return QByteArray(bytes, sqlite3_column_bytes(statement, column));
}

// NaN is stored as NULL by SQLite, so a double row with no value is NaN.
double columnDouble(sqlite3_stmt* statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return std::nan("");
    return sqlite3_column_double(statement, column);
}

// Renames without ever replacing an existing file. Returns false with errno set.
bool renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: check first; nothing else writes here.
    if (QFileInfo::exists(to)) {
        errno = EEXIST;
        return false;
    }
    return std::rename(source.constData(), target.constData()) == 0;
}

// Moves the database file and its journal companions to "<path>.damaged-<time>[-n]",
// keeping the companions' suffixes so that the kept copy opens as it was. `aside` is the
// new path of the database file once it has moved. Returns false unless everything moved:
// a fresh database must not pick up the old write-ahead log.
bool moveAside(const QString& path, QString& aside)
{
    static const QStringList companions { QStringLiteral("-wal"), QStringLiteral("-shm"),
        QStringLiteral("-journal") };
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int attempt = 1; attempt < 1000; ++attempt) {
        QString candidate = path + QStringLiteral(".damaged-") + stamp;
        if (attempt > 1)
            candidate += QLatin1Char('-') + QString::number(attempt);
        const bool taken = std::any_of(companions.begin(), companions.end(),
            [&](const QString& suffix) { return QFileInfo::exists(candidate + suffix); });
        if (taken)
            continue;
        if (!renameNoReplace(path, candidate)) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        aside = candidate;
        return std::all_of(companions.begin(), companions.end(), [&](const QString& suffix) {
            return !QFileInfo::exists(path + suffix) || renameNoReplace(path + suffix, aside + suffix);
        });
    }
    return false;
}

} // namespace

Preferences::Preferences(const QString& databasePath, QObject* parent)
    : QObject(parent)
    , m_path(databasePath)
{
    const QString folder = QFileInfo(m_path).absolutePath();
    OpenResult result = QDir().mkpath(folder) ? openFile(m_path) : OpenResult::Failed;
    if (result == OpenResult::Damaged) {
        close();
        // Reported even when the rest failed: the user's file is no longer where it was.
        const bool moved = moveAside(m_path, m_setAsidePath);
        m_issue = Issue::Damaged;
        result = moved ? openFile(m_path) : OpenResult::Failed;
    }
    if (result != OpenResult::Ok) {
        close();
        m_issue = Issue::CannotOpen;
        openInMemory();
    }
}

Preferences::~Preferences()
{
    close();
    if (s_standard == this)
        s_standard = nullptr;
}

QString Preferences::standardDatabasePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/preferences.sqlite");
}

Preferences* Preferences::standard()
{
    return s_standard;
}

void Preferences::setStandard(Preferences* preferences)
{
    s_standard = preferences;
}

QString Preferences::startupIssue() const
{
    switch (m_issue) {
    case Issue::None:
        return {};
    case Issue::Damaged:
        return L10n::tr(QString::fromUtf8(kDamagedKey), { QDir::toNativeSeparators(m_setAsidePath) });
    case Issue::CannotOpen:
        return L10n::tr(QString::fromUtf8(kCannotOpenKey), { QDir::toNativeSeparators(m_path) });
    }
    return {};
}

Preferences::OpenResult Preferences::openFile(const QString& path)
{
    const QByteArray nativePath = QFile::encodeName(path);
    // sqlite3_open_v2 hands back a handle even on failure; it must be closed all the same.
    int rc
        = sqlite3_open_v2(nativePath.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
        return OpenResult::Failed;
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // Until the file has proved sound, closing must not checkpoint the log into it or
    // delete the log: a damaged file is kept byte for byte, with its log.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);

    QByteArray verdict;
    rc = sqlite3_exec(
        m_db, "PRAGMA quick_check(1)",
        [](void* out, int, char** values, char**) {
            *static_cast<QByteArray*>(out) = values[0] ? QByteArray(values[0]) : QByteArray();
            return 0;
        },
        &verdict, nullptr);
    if (isDamage(rc) || (rc == SQLITE_OK && verdict != "ok"))
        return OpenResult::Damaged;
    if (rc != SQLITE_OK)
        return OpenResult::Failed;

    rc = sqlite3_exec(m_db, kSetupSql, nullptr, nullptr, nullptr);
    if (isDamage(rc))
        return OpenResult::Damaged;
    // A file we may read but not write would lose every change without a word.
    if (rc != SQLITE_OK || sqlite3_db_readonly(m_db, "main") != 0 || !prepareStatements())
        return OpenResult::Failed;
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    return OpenResult::Ok;
}

void Preferences::openInMemory()
{
    if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK
        || sqlite3_exec(m_db, kSetupSql, nullptr, nullptr, nullptr) != SQLITE_OK || !prepareStatements()) {
        close();
    }
}

bool Preferences::prepareStatements()
{
    const auto prepare = [this](const char* sql, sqlite3_stmt** statement) {
        return sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, statement, nullptr) == SQLITE_OK;
    };
    return prepare("SELECT kind, value FROM prefs WHERE key = ?1", &m_select)
        && prepare("SELECT kind FROM prefs WHERE key = ?1", &m_selectKind)
        && prepare("INSERT INTO prefs(key, kind, value) VALUES(?1, ?2, ?3) "
                   "ON CONFLICT(key) DO UPDATE SET kind = excluded.kind, value = excluded.value",
            &m_upsert)
        && prepare("DELETE FROM prefs WHERE key = ?1", &m_delete)
        && prepare("INSERT INTO parts(owner, bytes) VALUES(?1, ?2)", &m_insertPart)
        && prepare("SELECT bytes FROM parts WHERE id = ?1", &m_selectPart)
        && prepare("DELETE FROM parts WHERE id = ?1", &m_deletePart)
        && prepare("DELETE FROM parts WHERE owner = ?1", &m_deleteOwnedParts) && loadPartKeys();
}

void Preferences::close()
{
    m_partKeys.clear();
    m_partCache.clear();
    for (sqlite3_stmt** statement : { &m_select, &m_selectKind, &m_upsert, &m_delete, &m_insertPart, &m_selectPart,
             &m_deletePart, &m_deleteOwnedParts }) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    // The last connection checkpoints the log into the database file and removes it.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool Preferences::contains(const QString& key) const
{
    return kind(key).has_value();
}

std::optional<Preferences::Kind> Preferences::kind(const QString& key) const
{
    return readRow(m_selectKind, key, [](Kind kind, sqlite3_stmt*) { return std::optional(kind); });
}

bool Preferences::boolValue(const QString& key) const
{
    return readRow(m_select, key, [](Kind kind, sqlite3_stmt* row) -> std::optional<bool> {
        if (kind != Kind::Bool)
            return std::nullopt;
        return sqlite3_column_int64(row, 1) != 0;
    }).value_or(false);
}

std::optional<QVariant> Preferences::object(const QString& key) const
{
    return readRow(m_select, key, [this](Kind kind, sqlite3_stmt* row) -> std::optional<QVariant> {
        switch (kind) {
        case Kind::Bool:
            return QVariant(sqlite3_column_int64(row, 1) != 0);
        case Kind::Integer:
            return QVariant(qint64(sqlite3_column_int64(row, 1)));
        case Kind::Double:
            return QVariant(columnDouble(row, 1));
        case Kind::Text:
            return QVariant(columnText(row, 1));
        case Kind::Data:
            if (sqlite3_column_int64(row, 0) == kPartsKind)
                return QVariant(assembleParts(columnBlob(row, 1)).value_or(QByteArray()));
            return QVariant(columnBlob(row, 1));
        }
        return std::nullopt;
    });
}

std::optional<QString> Preferences::string(const QString& key) const
{
    return readRow(m_select, key, [](Kind kind, sqlite3_stmt* row) -> std::optional<QString> {
        if (kind != Kind::Text)
            return std::nullopt;
        return columnText(row, 1);
    });
}

std::optional<QByteArray> Preferences::data(const QString& key) const
{
    return readRow(m_select, key, [this](Kind kind, sqlite3_stmt* row) -> std::optional<QByteArray> {
        if (kind != Kind::Data)
            return std::nullopt;
        if (sqlite3_column_int64(row, 0) == kPartsKind)
            return assembleParts(columnBlob(row, 1));
        return columnBlob(row, 1);
    });
}

std::optional<qint64> Preferences::integer(const QString& key) const
{
    return readRow(m_select, key, [](Kind kind, sqlite3_stmt* row) -> std::optional<qint64> {
        switch (kind) {
        case Kind::Bool:
            return sqlite3_column_int64(row, 1) != 0 ? 1 : 0;
        case Kind::Integer:
            return sqlite3_column_int64(row, 1);
        case Kind::Double: {
            // Converting NaN or an out-of-range double to an integer is undefined.
            const double value = std::trunc(columnDouble(row, 1));
            if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0))
                return std::nullopt;
            return qint64(value);
        }
        case Kind::Text:
        case Kind::Data:
            break;
        }
        return std::nullopt;
    });
}

std::optional<double> Preferences::doubleValue(const QString& key) const
{
    return readRow(m_select, key, [](Kind kind, sqlite3_stmt* row) -> std::optional<double> {
        switch (kind) {
        case Kind::Bool:
            return sqlite3_column_int64(row, 1) != 0 ? 1.0 : 0.0;
        case Kind::Integer:
            return double(sqlite3_column_int64(row, 1));
        case Kind::Double:
            return columnDouble(row, 1);
        case Kind::Text:
        case Kind::Data:
            break;
        }
        return std::nullopt;
    });
}

void Preferences::setBool(const QString& key, bool value)
{
    write(key, Kind::Bool, qint64(value ? 1 : 0));
}

void Preferences::setInteger(const QString& key, qint64 value)
{
    write(key, Kind::Integer, value);
}

void Preferences::setDouble(const QString& key, double value)
{
    write(key, Kind::Double, value);
}

void Preferences::setString(const QString& key, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    write(key, Kind::Text, QByteArrayView(utf8));
}

void Preferences::setData(const QString& key, const QByteArray& value)
{
    write(key, Kind::Data, QByteArrayView(value));
}

void Preferences::setString(const QString& key, const std::optional<QString>& value)
{
    if (value)
        setString(key, *value);
    else
        remove(key);
}

void Preferences::remove(const QString& key)
{
    m_lastWriteOk = false;
    if (!m_delete)
        return;
    const QByteArray utf8 = key.toUtf8();
    const bool hadParts = m_partKeys.contains(key);
    if (hadParts && !execute("BEGIN IMMEDIATE"))
        return;
    bool removed = false;
    {
        StatementUse use(m_delete);
        m_lastWriteOk = bindKey(m_delete, utf8) && sqlite3_step(m_delete) == SQLITE_DONE;
        removed = m_lastWriteOk && sqlite3_changes(m_db) > 0;
    }
    if (hadParts) {
        m_lastWriteOk = m_lastWriteOk && deleteOwnedParts(utf8) && execute("COMMIT");
        if (!m_lastWriteOk) {
            execute("ROLLBACK");
            return;
        }
        m_partKeys.remove(key);
        m_partCache.remove(key);
    }
    if (removed)
        emit changed(key);
}

bool Preferences::execute(const char* sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Preferences::upsert(const QByteArray& key, int storedKind, StoredValue value)
{
    StatementUse use(m_upsert);
    int rc = bindKey(m_upsert, key) ? sqlite3_bind_int(m_upsert, 2, storedKind) : SQLITE_MISUSE;
    if (rc == SQLITE_OK) {
        if (const auto* number = std::get_if<qint64>(&value)) {
            rc = sqlite3_bind_int64(m_upsert, 3, *number);
        } else if (const auto* real = std::get_if<double>(&value)) {
            rc = sqlite3_bind_double(m_upsert, 3, *real);
        } else {
            // The caller's buffer outlives the statement run; an empty view may carry a
            // null pointer, which SQLite would store as NULL instead of an empty value.
            const QByteArrayView bytes = std::get<QByteArrayView>(value);
            const char* begin = bytes.isEmpty() ? "" : bytes.data();
            const auto size = sqlite3_uint64(bytes.size());
            rc = storedKind == int(Kind::Text)
                ? sqlite3_bind_text64(m_upsert, 3, begin, size, SQLITE_STATIC, SQLITE_UTF8)
                : sqlite3_bind_blob64(m_upsert, 3, begin, size, SQLITE_STATIC);
        }
    }
    return rc == SQLITE_OK && sqlite3_step(m_upsert) == SQLITE_DONE;
}

bool Preferences::deleteOwnedParts(const QByteArray& key)
{
    StatementUse use(m_deleteOwnedParts);
    return bindKey(m_deleteOwnedParts, key) && sqlite3_step(m_deleteOwnedParts) == SQLITE_DONE;
}

bool Preferences::loadPartKeys()
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT DISTINCT owner FROM parts", -1, &statement, nullptr) != SQLITE_OK)
        return false;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        m_partKeys.insert(columnText(statement, 0));
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE;
}

std::optional<QByteArray> Preferences::assembleParts(const QByteArray& manifest) const
{
    QByteArray whole;
    const qsizetype count = manifest.size() / qsizetype(sizeof(qint64));
    for (qsizetype i = 0; i < count; ++i) {
        qint64 id;
        std::memcpy(&id, manifest.constData() + i * sizeof(qint64), sizeof id);
        StatementUse use(m_selectPart);
        if (sqlite3_bind_int64(m_selectPart, 1, id) != SQLITE_OK || sqlite3_step(m_selectPart) != SQLITE_ROW)
            return std::nullopt;
        whole.append(static_cast<const char*>(sqlite3_column_blob(m_selectPart, 0)),
                     sqlite3_column_bytes(m_selectPart, 0));
    }
    return whole;
}

std::optional<QList<Preferences::StoredPart>> Preferences::storedParts(const QString& key) const
{
    const auto manifest = readRow(m_select, key, [](Kind kind, sqlite3_stmt* row) -> std::optional<QByteArray> {
        if (kind != Kind::Data || sqlite3_column_int64(row, 0) != kPartsKind)
            return std::nullopt;
        return columnBlob(row, 1);
    });
    if (!manifest)
        return std::nullopt;
    QList<StoredPart> parts;
    const qsizetype count = manifest->size() / qsizetype(sizeof(qint64));
    parts.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        qint64 id;
        std::memcpy(&id, manifest->constData() + i * sizeof(qint64), sizeof id);
        StatementUse use(m_selectPart);
        if (sqlite3_bind_int64(m_selectPart, 1, id) != SQLITE_OK || sqlite3_step(m_selectPart) != SQLITE_ROW)
            return std::nullopt;
        parts.append({ id, QByteArray(static_cast<const char*>(sqlite3_column_blob(m_selectPart, 0)),
                                      sqlite3_column_bytes(m_selectPart, 0)) });
    }
    return parts;
}

void Preferences::write(const QString& key, Kind kind, StoredValue value)
{
    m_lastWriteOk = false;
    if (!m_upsert)
        return;
    const QByteArray utf8 = key.toUtf8();
    if (m_partKeys.contains(key)) {
        // Replacing a value kept as parts: the row and the removal of its parts commit together.
        m_lastWriteOk = execute("BEGIN IMMEDIATE") && upsert(utf8, int(kind), value) && deleteOwnedParts(utf8)
            && execute("COMMIT");
        if (!m_lastWriteOk) {
            execute("ROLLBACK");
            return;
        }
        m_partKeys.remove(key);
        m_partCache.remove(key);
    } else {
        // In autocommit mode the statement is its own transaction: DONE means committed.
        m_lastWriteOk = upsert(utf8, int(kind), value);
    }
    if (m_lastWriteOk)
        emit changed(key);
}

void Preferences::setDataParts(const QString& key, const QList<QByteArray>& parts)
{
    m_lastWriteOk = false;
    if (!m_upsert || !execute("BEGIN IMMEDIATE"))
        return;
    const QByteArray utf8 = key.toUtf8();
    const bool hadParts = m_partKeys.contains(key);
    // What was written last time: remembered from this run, or read back once from an
    // earlier run's parts, so that the first save after a start writes only what changed
    // since (at start, usually nothing) instead of every part again.
    const auto cached = m_partCache.constFind(key);
    const bool fromThisRun = cached != m_partCache.cend();
    std::optional<QList<StoredPart>> previous;
    if (fromThisRun)
        previous = *cached;
    else if (hadParts)
        previous = storedParts(key);

    // Findable by data identity (large parts of this run), or by content.
    QHash<const char*, const StoredPart*> byData;
    QHash<QByteArray, qint64> bySmallContent;
    QHash<QByteArray, qint64> byLargeContent;
    QByteArray previousManifest;
    if (previous) {
        for (const StoredPart& part : std::as_const(*previous)) {
            if (part.bytes.size() <= kSmallPart)
                bySmallContent.insert(part.bytes, part.id);
            else if (fromThisRun)
                byData.insert(part.bytes.constData(), &part);
            else
                byLargeContent.insert(part.bytes, part.id);
            previousManifest.append(reinterpret_cast<const char*>(&part.id), sizeof(qint64));
        }
    }
    bool inserted = false;

    bool ok = true;
    QList<StoredPart> written;
    written.reserve(parts.size());
    QByteArray manifest;
    manifest.reserve(parts.size() * qsizetype(sizeof(qint64)));
    QSet<qint64> kept;
    for (const QByteArray& bytes : parts) {
        std::optional<qint64> id;
        if (bytes.size() > kSmallPart) {
            const auto found = byData.constFind(bytes.constData());
            if (found != byData.cend() && (*found)->bytes.size() == bytes.size())
                id = (*found)->id;
            else if (const auto same = byLargeContent.constFind(bytes); same != byLargeContent.cend())
                id = *same;
        } else if (const auto found = bySmallContent.constFind(bytes); found != bySmallContent.cend()) {
            id = *found;
        }
        if (!id) {
            inserted = true;
            StatementUse use(m_insertPart);
            const char* begin = bytes.isEmpty() ? "" : bytes.constData();
            ok = bindKey(m_insertPart, utf8)
                && sqlite3_bind_blob64(m_insertPart, 2, begin, sqlite3_uint64(bytes.size()), SQLITE_STATIC) == SQLITE_OK
                && sqlite3_step(m_insertPart) == SQLITE_DONE;
            if (!ok)
                break;
            id = sqlite3_last_insert_rowid(m_db);
            if (bytes.size() <= kSmallPart)
                bySmallContent.insert(bytes, *id);
        }
        kept.insert(*id);
        written.append({ *id, bytes });
        manifest.append(reinterpret_cast<const char*>(&*id), sizeof(qint64));
    }

    // The same parts in the same order: nothing to write (and no disk flush at start).
    if (ok && hadParts && previous && !inserted && manifest == previousManifest) {
        execute("ROLLBACK");
        m_lastWriteOk = true;
        m_partCache.insert(key, std::move(written));
        return;
    }
    if (ok && hadParts) {
        if (previous) {
            for (const StoredPart& part : std::as_const(*previous)) {
                if (kept.contains(part.id))
                    continue;
                StatementUse use(m_deletePart);
                ok = sqlite3_bind_int64(m_deletePart, 1, part.id) == SQLITE_OK
                    && sqlite3_step(m_deletePart) == SQLITE_DONE;
                if (!ok)
                    break;
                kept.insert(part.id);
            }
        } else {
            // Parts from an earlier run are not known here: drop every part not just written.
            QByteArray keptList;
            for (qint64 id : std::as_const(kept))
                keptList += QByteArray::number(id) + ',';
            keptList.chop(1);
            const QByteArray sql = "DELETE FROM parts WHERE owner = ?1 AND id NOT IN (" + keptList + ")";
            sqlite3_stmt* statement = nullptr;
            ok = sqlite3_prepare_v2(m_db, sql.constData(), -1, &statement, nullptr) == SQLITE_OK
                && bindKey(statement, utf8) && sqlite3_step(statement) == SQLITE_DONE;
            sqlite3_finalize(statement);
        }
    }
    ok = ok && upsert(utf8, kPartsKind, QByteArrayView(manifest)) && execute("COMMIT");
    if (!ok) {
        execute("ROLLBACK");
        m_partCache.remove(key);
        return;
    }
    m_lastWriteOk = true;
    m_partKeys.insert(key);
    m_partCache.insert(key, std::move(written));
    emit changed(key);
}
