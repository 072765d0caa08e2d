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
#include <tuple>
#include <type_traits>
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
                                  "CREATE TABLE IF NOT EXISTS elements("
                                  "owner TEXT NOT NULL, id TEXT NOT NULL, bytes BLOB NOT NULL,"
                                  "PRIMARY KEY(owner, id));";

// Stored kind of a data value that earlier versions kept as parts: the row holds the list
// of part ids (native 64-bit integers) of the "parts" table. Migrated away at opening.
constexpr int kPartsKind = 5;
// Stored kind of a data value kept as an array: the row holds the order of the element ids.
constexpr int kArrayKind = 6;

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
    if (stored == kArrayKind)
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

    // Not quick_check: it does not compare the indexes with their tables, and a damaged key
    // index reads and writes a value under another key.
    QByteArray verdict;
    rc = sqlite3_exec(
        m_db, "PRAGMA integrity_check(1)",
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
    if (rc != SQLITE_OK || sqlite3_db_readonly(m_db, "main") != 0 || !migrateParts() || !prepareStatements())
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

// Earlier versions kept large data values as parts in a table of their own; such a value
// becomes one plain data value again, in one transaction with dropping the table.
bool Preferences::migrateParts()
{
    sqlite3_stmt* exists = nullptr;
    bool hasParts = false;
    if (sqlite3_prepare_v2(
            m_db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'parts'", -1, &exists, nullptr)
        != SQLITE_OK)
        return false;
    hasParts = sqlite3_step(exists) == SQLITE_ROW;
    sqlite3_finalize(exists);
    if (!hasParts)
        return true;
    if (!execute("BEGIN IMMEDIATE"))
        return false;
    sqlite3_stmt* rows = nullptr;
    sqlite3_stmt* part = nullptr;
    sqlite3_stmt* update = nullptr;
    bool ok = sqlite3_prepare_v2(m_db, "SELECT key, value FROM prefs WHERE kind = ?1", -1, &rows, nullptr)
            == SQLITE_OK
        && sqlite3_bind_int(rows, 1, kPartsKind) == SQLITE_OK
        && sqlite3_prepare_v2(m_db, "SELECT bytes FROM parts WHERE id = ?1", -1, &part, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(
               m_db, "UPDATE prefs SET kind = ?2, value = ?3 WHERE key = ?1", -1, &update, nullptr)
            == SQLITE_OK;
    QList<std::pair<QByteArray, QByteArray>> values;
    int rc = SQLITE_DONE;
    while (ok && (rc = sqlite3_step(rows)) == SQLITE_ROW) {
        const QByteArray key(
            reinterpret_cast<const char*>(sqlite3_column_text(rows, 0)), sqlite3_column_bytes(rows, 0));
        const QByteArray manifest = columnBlob(rows, 1);
        QByteArray whole;
        for (qsizetype i = 0; i + qsizetype(sizeof(qint64)) <= manifest.size(); i += sizeof(qint64)) {
            qint64 id;
            std::memcpy(&id, manifest.constData() + i, sizeof id);
            StatementUse use(part);
            // A part that is missing leaves the rest: what reads back unreadable is kept
            // aside by its owner rather than lost here.
            if (sqlite3_bind_int64(part, 1, id) == SQLITE_OK && sqlite3_step(part) == SQLITE_ROW)
                whole.append(columnBlob(part, 0));
        }
        values.append({ key, whole });
    }
    ok = ok && rc == SQLITE_DONE;
    for (const auto& [key, whole] : std::as_const(values)) {
        if (!ok)
            break;
        StatementUse use(update);
        ok = bindKey(update, key) && sqlite3_bind_int(update, 2, int(Kind::Data)) == SQLITE_OK
            && sqlite3_bind_blob64(update, 3, whole.isEmpty() ? "" : whole.constData(),
                   sqlite3_uint64(whole.size()), SQLITE_STATIC)
                == SQLITE_OK
            && sqlite3_step(update) == SQLITE_DONE;
    }
    sqlite3_finalize(rows);
    sqlite3_finalize(part);
    sqlite3_finalize(update);
    ok = ok && execute("DROP TABLE parts") && execute("COMMIT");
    if (!ok)
        execute("ROLLBACK");
    return ok;
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
        && prepare("INSERT INTO elements(owner, id, bytes) VALUES(?1, ?2, ?3) "
                   "ON CONFLICT(owner, id) DO UPDATE SET bytes = excluded.bytes",
            &m_upsertElement)
        && prepare("SELECT bytes FROM elements WHERE owner = ?1 AND id = ?2", &m_selectElement)
        && prepare("SELECT id, bytes FROM elements WHERE owner = ?1", &m_selectElements)
        && prepare("DELETE FROM elements WHERE owner = ?1 AND id = ?2", &m_deleteElement)
        && prepare("DELETE FROM elements WHERE owner = ?1", &m_deleteElements) && loadArrayKeys();
}

void Preferences::close()
{
    m_arrayKeys.clear();
    m_arrayCache.clear();
    for (sqlite3_stmt** statement : { &m_select, &m_selectKind, &m_upsert, &m_delete, &m_upsertElement,
             &m_selectElement, &m_selectElements, &m_deleteElement, &m_deleteElements }) {
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
    return readRow(m_select, key, [&](Kind kind, sqlite3_stmt* row) -> std::optional<QVariant> {
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
            if (sqlite3_column_int64(row, 0) == kArrayKind)
                return QVariant(assembleArray(key.toUtf8(), columnBlob(row, 1)).value_or(QByteArray()));
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
    return readRow(m_select, key, [&](Kind kind, sqlite3_stmt* row) -> std::optional<QByteArray> {
        if (kind != Kind::Data)
            return std::nullopt;
        if (sqlite3_column_int64(row, 0) == kArrayKind)
            return assembleArray(key.toUtf8(), columnBlob(row, 1));
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

bool Preferences::setBool(const QString& key, bool value)
{
    return write(key, Kind::Bool, qint64(value ? 1 : 0));
}

bool Preferences::setInteger(const QString& key, qint64 value)
{
    return write(key, Kind::Integer, value);
}

bool Preferences::setDouble(const QString& key, double value)
{
    return write(key, Kind::Double, value);
}

bool Preferences::setString(const QString& key, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    return write(key, Kind::Text, QByteArrayView(utf8));
}

bool Preferences::setData(const QString& key, const QByteArray& value)
{
    return write(key, Kind::Data, QByteArrayView(value));
}

bool Preferences::setString(const QString& key, const std::optional<QString>& value)
{
    return value ? setString(key, *value) : remove(key);
}

bool Preferences::remove(const QString& key)
{
    m_lastWriteOk = false;
    if (!m_delete)
        return false;
    const QByteArray utf8 = key.toUtf8();
    const bool wasArray = m_arrayKeys.contains(key);
    if (wasArray && !execute("BEGIN IMMEDIATE")) {
        noteWrite(key, false, FailedWrite { std::nullopt, qint64(0) });
        return false;
    }
    bool removed = false;
    {
        StatementUse use(m_delete);
        m_lastWriteOk = bindKey(m_delete, utf8) && sqlite3_step(m_delete) == SQLITE_DONE;
        removed = m_lastWriteOk && sqlite3_changes(m_db) > 0;
    }
    if (wasArray) {
        m_lastWriteOk = m_lastWriteOk && deleteElements(utf8) && execute("COMMIT");
        if (!m_lastWriteOk) {
            execute("ROLLBACK");
        } else {
            m_arrayKeys.remove(key);
            m_arrayCache.remove(key);
        }
    }
    noteWrite(key, m_lastWriteOk, FailedWrite { std::nullopt, qint64(0) });
    if (m_lastWriteOk && removed)
        emit changed(key);
    return m_lastWriteOk;
}

void Preferences::noteWrite(const QString& key, bool ok, std::optional<FailedWrite> failed)
{
    if (ok) {
        m_failedWrites.remove(key);
        return;
    }
    if (failed)
        m_failedWrites.insert(key, std::move(*failed));
    emit writeFailed(key);
}

bool Preferences::retryFailedWrites()
{
    // Each write below removes its key on success or puts it back on failure.
    const QHash<QString, FailedWrite> pending = m_failedWrites;
    for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
        const FailedWrite& failed = it.value();
        if (!failed.kind) {
            std::ignore = remove(it.key());
            continue;
        }
        const StoredValue value = std::visit(
            [](const auto& held) -> StoredValue {
                if constexpr (std::is_same_v<std::decay_t<decltype(held)>, QByteArray>)
                    return QByteArrayView(held);
                else
                    return held;
            },
            failed.value);
        std::ignore = write(it.key(), *failed.kind, value);
    }
    return m_failedWrites.isEmpty();
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

bool Preferences::deleteElements(const QByteArray& key)
{
    StatementUse use(m_deleteElements);
    return bindKey(m_deleteElements, key) && sqlite3_step(m_deleteElements) == SQLITE_DONE;
}

bool Preferences::loadArrayKeys()
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT key FROM prefs WHERE kind = ?1", -1, &statement, nullptr)
        != SQLITE_OK)
        return false;
    int rc = sqlite3_bind_int(statement, 1, kArrayKind);
    while (rc == SQLITE_OK && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
        m_arrayKeys.insert(columnText(statement, 0));
        rc = SQLITE_OK;
    }
    sqlite3_finalize(statement);
    // Elements that no array names (none are written that way) are left to the next write.
    return rc == SQLITE_DONE;
}

std::optional<QByteArray> Preferences::assembleArray(const QByteArray& key, const QByteArray& order) const
{
    QByteArray whole("[");
    if (!order.isEmpty()) {
        const QList<QByteArray> ids = order.split('\n');
        for (qsizetype i = 0; i < ids.size(); ++i) {
            StatementUse use(m_selectElement);
            const QByteArray& id = ids.at(i);
            if (!bindKey(m_selectElement, key)
                || sqlite3_bind_text64(m_selectElement, 2, id.constData(), sqlite3_uint64(id.size()),
                       SQLITE_STATIC, SQLITE_UTF8)
                    != SQLITE_OK
                || sqlite3_step(m_selectElement) != SQLITE_ROW)
                return std::nullopt;
            if (i > 0)
                whole.append(',');
            whole.append(static_cast<const char*>(sqlite3_column_blob(m_selectElement, 0)),
                sqlite3_column_bytes(m_selectElement, 0));
        }
    }
    whole.append(']');
    return whole;
}

std::optional<Preferences::StoredArray> Preferences::storedArray(const QString& key) const
{
    if (!m_arrayKeys.contains(key))
        return std::nullopt;
    if (const auto cached = m_arrayCache.constFind(key); cached != m_arrayCache.cend())
        return *cached;
    const auto order = readRow(m_select, key, [](Kind, sqlite3_stmt* row) -> std::optional<QByteArray> {
        if (sqlite3_column_int64(row, 0) != kArrayKind)
            return std::nullopt;
        return columnBlob(row, 1);
    });
    if (!order)
        return std::nullopt;
    StoredArray stored { *order, {} };
    const QByteArray utf8 = key.toUtf8();
    StatementUse use(m_selectElements);
    if (!bindKey(m_selectElements, utf8))
        return std::nullopt;
    int rc;
    while ((rc = sqlite3_step(m_selectElements)) == SQLITE_ROW)
        stored.elements.insert(columnText(m_selectElements, 0), columnBlob(m_selectElements, 1));
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return stored;
}

bool Preferences::write(const QString& key, Kind kind, StoredValue value)
{
    m_lastWriteOk = false;
    if (!m_upsert)
        return false;
    const QByteArray utf8 = key.toUtf8();
    if (m_arrayKeys.contains(key)) {
        // Replacing an array: the row and the removal of its elements commit together.
        m_lastWriteOk = execute("BEGIN IMMEDIATE") && upsert(utf8, int(kind), value) && deleteElements(utf8)
            && execute("COMMIT");
        if (!m_lastWriteOk) {
            execute("ROLLBACK");
        } else {
            m_arrayKeys.remove(key);
            m_arrayCache.remove(key);
        }
    } else {
        // In autocommit mode the statement is its own transaction: DONE means committed.
        m_lastWriteOk = upsert(utf8, int(kind), value);
    }
    const auto owned = [](const StoredValue& stored) -> std::variant<qint64, double, QByteArray> {
        if (const auto* bytes = std::get_if<QByteArrayView>(&stored))
            return bytes->toByteArray();
        if (const auto* number = std::get_if<qint64>(&stored))
            return *number;
        return std::get<double>(stored);
    };
    noteWrite(key, m_lastWriteOk, m_lastWriteOk ? std::nullopt : std::optional(FailedWrite { kind, owned(value) }));
    if (m_lastWriteOk)
        emit changed(key);
    return m_lastWriteOk;
}

bool Preferences::setArray(const QString& key, const QList<ArrayElement>& elements)
{
    QSet<QString> ids;
    ids.reserve(elements.size());
    QByteArray order;
    for (const ArrayElement& element : elements) {
        if (element.id.isEmpty() || element.id.contains(QLatin1Char('\n')) || ids.contains(element.id)) {
            QByteArray whole("[");
            for (qsizetype i = 0; i < elements.size(); ++i)
                whole += (i > 0 ? "," : "") + elements.at(i).json;
            return setData(key, whole + ']');
        }
        ids.insert(element.id);
        if (!order.isEmpty())
            order.append('\n');
        order.append(element.id.toUtf8());
    }

    m_lastWriteOk = false;
    if (!m_upsert || !execute("BEGIN IMMEDIATE")) {
        noteWrite(key, false, std::nullopt);
        return false;
    }
    // Read inside the transaction, so that what is compared against is what is stored.
    const std::optional<StoredArray> previous = storedArray(key);
    const QByteArray utf8 = key.toUtf8();
    StoredArray next { order, {} };
    next.elements.reserve(elements.size());
    // Nothing known of what is stored: no element rows of another time may stay.
    bool ok = previous || deleteElements(utf8);
    bool wrote = false;
    for (const ArrayElement& element : elements) {
        if (!ok)
            break;
        next.elements.insert(element.id, element.json);
        if (previous) {
            const auto stored = previous->elements.constFind(element.id);
            if (stored != previous->elements.cend() && *stored == element.json)
                continue;
        }
        const QByteArray id = element.id.toUtf8();
        const char* begin = element.json.isEmpty() ? "" : element.json.constData();
        StatementUse use(m_upsertElement);
        ok = bindKey(m_upsertElement, utf8)
            && sqlite3_bind_text64(
                   m_upsertElement, 2, id.constData(), sqlite3_uint64(id.size()), SQLITE_STATIC, SQLITE_UTF8)
                == SQLITE_OK
            && sqlite3_bind_blob64(
                   m_upsertElement, 3, begin, sqlite3_uint64(element.json.size()), SQLITE_STATIC)
                == SQLITE_OK
            && sqlite3_step(m_upsertElement) == SQLITE_DONE;
        wrote = true;
    }
    if (ok && previous) {
        for (auto it = previous->elements.cbegin(); ok && it != previous->elements.cend(); ++it) {
            if (ids.contains(it.key()))
                continue;
            const QByteArray id = it.key().toUtf8();
            StatementUse use(m_deleteElement);
            ok = bindKey(m_deleteElement, utf8)
                && sqlite3_bind_text64(m_deleteElement, 2, id.constData(), sqlite3_uint64(id.size()),
                       SQLITE_STATIC, SQLITE_UTF8)
                    == SQLITE_OK
                && sqlite3_step(m_deleteElement) == SQLITE_DONE;
            wrote = true;
        }
    }
    if (ok && (!previous || previous->order != order)) {
        ok = upsert(utf8, kArrayKind, QByteArrayView(order));
        wrote = true;
    }
    if (ok && !wrote) {
        // The same array as stored: nothing to commit, and no disk flush.
        execute("ROLLBACK");
        m_arrayCache.insert(key, std::move(next));
        m_failedWrites.remove(key);
        m_lastWriteOk = true;
        return true;
    }
    if (!ok || !execute("COMMIT")) {
        execute("ROLLBACK");
        m_arrayCache.remove(key);
        noteWrite(key, false, std::nullopt);
        return false;
    }
    m_failedWrites.remove(key);
    m_arrayKeys.insert(key);
    m_arrayCache.insert(key, std::move(next));
    m_lastWriteOk = true;
    emit changed(key);
    return true;
}
