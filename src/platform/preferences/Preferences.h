#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QHash>
#include <QList>
#include <QSet>
#include <QVariant>

#include <optional>
#include <variant>

struct sqlite3;
struct sqlite3_stmt;

// The persistent key-value store that holds every setting and the whole workspace.
// One SQLite database file (WAL journal); every write is its own transaction, so a
// write that returned survives a crash of the process. Each key keeps the kind it was
// written with; a read of another kind reads as absent (the numeric reads below
// also accept the other numeric kinds). Main thread only.
class Preferences : public QObject {
    Q_OBJECT
public:
    enum class Kind { Bool, Integer, Double, Text, Data };

    // Opens (or creates) the database at `databasePath`. A file that is not a usable
    // database is moved aside next to it (see `setAsidePath`) and the store starts empty.
    explicit Preferences(const QString& databasePath, QObject* parent = nullptr);
    ~Preferences() override;

    // "<AppDataLocation>/preferences.sqlite"
    static QString standardDatabasePath();

    // The process-wide store used where the program reads "the standard preferences"
    // (the interface language, for instance). Set by main(); tests may install their own.
    static Preferences* standard();
    static void setStandard(Preferences* preferences);

    QString databasePath() const { return m_path; }

    // Where a damaged database file was moved at opening; empty when nothing was moved.
    QString setAsidePath() const { return m_setAsidePath; }
    // One finished sentence for the user when the store could not be opened normally;
    // empty otherwise. Rendered in the interface language at the time of the call.
    QString startupIssue() const;

    bool contains(const QString& key) const;
    std::optional<Kind> kind(const QString& key) const;

    // A boolean is a number on the original platform, so integer() and doubleValue()
    // read true and false as 1 and 0, while boolValue() accepts only a stored boolean.

    // Absent or not a boolean reads as false.
    bool boolValue(const QString& key) const;
    // Any kind; absent reads as nothing. Bool -> bool, Integer -> qint64, Double -> double,
    // Text -> QString, Data -> QByteArray.
    std::optional<QVariant> object(const QString& key) const;
    std::optional<QString> string(const QString& key) const;
    std::optional<QByteArray> data(const QString& key) const;
    // Integer read: an integer value; a double value is truncated toward zero (as the
    // platform's integer read does; NaN or a double outside the qint64 range reads as
    // absent); a boolean reads as 1 or 0; anything else reads as absent.
    std::optional<qint64> integer(const QString& key) const;
    // Double read: a double, integer or boolean (1 or 0) value; anything else reads as absent.
    std::optional<double> doubleValue(const QString& key) const;

    // Writes return true once the value has committed. On failure (disk full, read-only
    // file ...) the key keeps its previous value, `changed` is not emitted, `writeFailed` is,
    // and the value is kept to be written again by retryFailedWrites() unless a later write
    // or removal of the key succeeds first. A caller with no state of its own to recover may
    // leave the retry to that; one that must not go on (a backup before an overwrite) checks.
    [[nodiscard]] bool setBool(const QString& key, bool value);
    [[nodiscard]] bool setInteger(const QString& key, qint64 value);
    [[nodiscard]] bool setDouble(const QString& key, double value);
    [[nodiscard]] bool setString(const QString& key, const QString& value);
    [[nodiscard]] bool setData(const QString& key, const QByteArray& value);
    // Setting nothing removes the key.
    [[nodiscard]] bool setString(const QString& key, const std::optional<QString>& value);
    // UTF-8 text; without it a string literal would fit both overloads above.
    [[nodiscard]] bool setString(const QString& key, const char* value)
    {
        return setString(key, QString::fromUtf8(value));
    }
    // Does nothing, and emits nothing, when the key is absent.
    [[nodiscard]] bool remove(const QString& key);

    // Whether a failed write still waits to be written again.
    bool hasFailedWrites() const { return !m_failedWrites.isEmpty(); }
    // Writes again what failed; true when nothing is left waiting.
    bool retryFailedWrites();

    struct ArrayElement {
        QString id;
        QByteArray json;
    };
    // Stores the data "[e1,e2,...]" (the elements' JSON joined by commas) as one row per
    // element, keyed by its id, with the order kept apart; reads return exactly those bytes,
    // as if they had been written with setData. Only elements whose bytes differ from what is
    // stored are written, and the order only when it changed, so editing one element of a
    // large array costs that element. Storing what is already stored writes and emits nothing.
    // Ids are expected to be unique, non-empty and free of line breaks; otherwise the whole
    // array is stored as one value. A failed array is not kept for retryFailedWrites(): the
    // caller holds the elements and writes them again.
    [[nodiscard]] bool setArray(const QString& key, const QList<ArrayElement>& elements);

    // What the last write returned.
    bool lastWriteSucceeded() const { return m_lastWriteOk; }

signals:
    // Emitted after every stored write or removal of `key` has committed,
    // whichever part of the program wrote it through this store.
    void changed(const QString& key);
    // Emitted after a write or removal of `key` failed.
    void writeFailed(const QString& key);

private:
    enum class Issue { None, Damaged, CannotOpen };
    // Bool is stored as 0/1; text and data are viewed, not copied, until bound.
    using StoredValue = std::variant<qint64, double, QByteArrayView>;

    enum class OpenResult { Ok, Damaged, Failed };
    OpenResult openFile(const QString& path);
    void openInMemory();
    bool migrateParts();
    bool prepareStatements();
    bool loadArrayKeys();
    void close();
    bool write(const QString& key, Kind kind, StoredValue value);
    bool upsert(const QByteArray& key, int storedKind, StoredValue value);
    bool execute(const char* sql);
    bool deleteElements(const QByteArray& key);
    std::optional<QByteArray> assembleArray(const QByteArray& key, const QByteArray& order) const;

    // The elements of an array as stored: its order (ids joined by line breaks) and each
    // element's bytes by id.
    struct StoredArray {
        QByteArray order;
        QHash<QString, QByteArray> elements;
    };
    std::optional<StoredArray> storedArray(const QString& key) const;

    QString m_path;
    QString m_setAsidePath;
    Issue m_issue = Issue::None;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_select = nullptr;
    sqlite3_stmt* m_selectKind = nullptr;
    sqlite3_stmt* m_upsert = nullptr;
    sqlite3_stmt* m_delete = nullptr;
    sqlite3_stmt* m_upsertElement = nullptr;
    sqlite3_stmt* m_selectElement = nullptr;
    sqlite3_stmt* m_selectElements = nullptr;
    sqlite3_stmt* m_deleteElement = nullptr;
    sqlite3_stmt* m_deleteElements = nullptr;
    // Keys stored as arrays, and what is stored for those written or read in this run, so
    // that a write compares against memory rather than reading the rows back (one running
    // instance writes the workspace).
    QSet<QString> m_arrayKeys;
    QHash<QString, StoredArray> m_arrayCache;
    bool m_lastWriteOk = true;
    // Failed writes waiting to be written again; no kind means a removal.
    struct FailedWrite {
        std::optional<Kind> kind;
        std::variant<qint64, double, QByteArray> value;
    };
    QHash<QString, FailedWrite> m_failedWrites;
    void noteWrite(const QString& key, bool ok, std::optional<FailedWrite> failed);
};
