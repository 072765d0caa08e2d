#include "WorkspaceJson.h"

#include "StoredDate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <type_traits>

// Numbers are written by QJsonDocument: whole seconds as plain integers ("788918400"), others
// in the shortest text that reads back to the same double, so no precision is lost.

namespace {

// ---- Writing ----

QJsonValue dateValue(const QDateTime& date)
{
    return StoredDate::toSeconds(date);
}

QJsonObject taskObject(const TaskItem& task)
{
    QJsonObject object;
    object.insert(QLatin1String("id"), Uuid::text(task.id));
    object.insert(QLatin1String("title"), task.title);
    object.insert(QLatin1String("isCompleted"), task.isCompleted);
    if (task.reminderAt)
        object.insert(QLatin1String("reminderAt"), dateValue(*task.reminderAt));
    return object;
}

QJsonObject audioObject(const NoteAudio& audio)
{
    QJsonObject object;
    object.insert(QLatin1String("filename"), audio.filename);
    object.insert(QLatin1String("createdAt"), dateValue(audio.createdAt));
    object.insert(QLatin1String("status"), TranscriptionStatuses::storedValue(audio.status));
    if (audio.error)
        object.insert(QLatin1String("error"), *audio.error);
    return object;
}

QJsonObject fileObject(const NoteFile& file)
{
    QJsonObject object;
    object.insert(QLatin1String("id"), Uuid::text(file.id));
    object.insert(QLatin1String("filename"), file.filename);
    object.insert(QLatin1String("originalName"), file.originalName);
    if (file.folderID)
        object.insert(QLatin1String("folderID"), Uuid::text(*file.folderID));
    return object;
}

QJsonObject pageObject(const NotePage& page)
{
    QJsonArray attachments;
    for (const NoteAudio& audio : page.attachments)
        attachments.append(audioObject(audio));
    QJsonArray files;
    for (const NoteFile& file : page.files)
        files.append(fileObject(file));

    QJsonObject object;
    object.insert(QLatin1String("id"), Uuid::text(page.id));
    object.insert(QLatin1String("title"), page.title);
    object.insert(QLatin1String("color"), NoteColors::storedValue(page.color));
    object.insert(QLatin1String("content"), page.content);
    object.insert(QLatin1String("attachments"), attachments);
    object.insert(QLatin1String("files"), files);
    return object;
}

// The JSON array of already encoded elements, exactly as QJsonDocument writes it compactly.
QByteArray joinedArray(const QList<QByteArray>& elements)
{
    qsizetype size = 2 + qMax<qsizetype>(0, elements.size() - 1);
    for (const QByteArray& element : elements)
        size += element.size();
    QByteArray result;
    result.reserve(size);
    result.append('[');
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (i > 0)
            result.append(',');
        result.append(elements.at(i));
    }
    result.append(']');
    return result;
}

// ---- Reading ----
// Each conversion yields nothing when the JSON value has the wrong type or an unknown value.

std::optional<QString> asString(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<bool> asBool(const QJsonValue& value)
{
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<QUuid> asUuid(const QJsonValue& value)
{
    const std::optional<QString> text = asString(value);
    return text ? Uuid::parse(*text) : std::nullopt;
}

std::optional<QDateTime> asDate(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const QDateTime date = StoredDate::fromSeconds(value.toDouble());
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<NoteColor> asColor(const QJsonValue& value)
{
    const std::optional<QString> text = asString(value);
    return text ? NoteColors::fromStoredValue(*text) : std::nullopt;
}

std::optional<TranscriptionStatus> asStatus(const QJsonValue& value)
{
    const std::optional<QString> text = asString(value);
    return text ? TranscriptionStatuses::fromStoredValue(*text) : std::nullopt;
}

template <auto convert>
using Converted = typename std::invoke_result_t<decltype(convert), const QJsonValue&>::value_type;

template <auto convertRecord> std::optional<QList<Converted<convertRecord>>> asList(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QList<Converted<convertRecord>> records;
    records.reserve(array.size());
    for (const QJsonValue& element : array) {
        auto record = convertRecord(element);
        if (!record)
            return std::nullopt;
        records.append(std::move(*record));
    }
    return records;
}

// Reads the keys of one object; any failure is remembered so that the record is rejected
// once all its fields have been looked at.
class ObjectReader {
public:
    explicit ObjectReader(const QJsonObject& object)
        : m_object(object)
    {
    }

    bool ok() const { return m_ok; }

    template <auto convert> Converted<convert> required(QLatin1String key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            return fail<convert>();
        auto result = convert(value);
        return result ? std::move(*result) : fail<convert>();
    }

    // A missing key and JSON null both mean absent.
    template <auto convert> std::optional<Converted<convert>> optional(QLatin1String key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        auto result = convert(value);
        if (!result)
            m_ok = false;
        return result;
    }

    // Only a missing key takes the default; a present key (null included) must have the right type.
    template <auto convert> Converted<convert> defaulted(QLatin1String key, Converted<convert> fallback)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            return fallback;
        auto result = convert(value);
        return result ? std::move(*result) : fail<convert>();
    }

private:
    template <auto convert> Converted<convert> fail()
    {
        m_ok = false;
        return {};
    }

    QJsonObject m_object;
    bool m_ok = true;
};

template <typename Record> std::optional<Record> accepted(const ObjectReader& reader, Record record)
{
    if (!reader.ok())
        return std::nullopt;
    return record;
}

std::optional<TaskItem> asTask(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    ObjectReader reader(value.toObject());
    return accepted(reader,
        TaskItem {
            .id = reader.required<asUuid>(QLatin1String("id")),
            .title = reader.required<asString>(QLatin1String("title")),
            .isCompleted = reader.required<asBool>(QLatin1String("isCompleted")),
            .reminderAt = reader.optional<asDate>(QLatin1String("reminderAt")),
        });
}

std::optional<NoteAudio> asAudio(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    ObjectReader reader(value.toObject());
    return accepted(reader,
        NoteAudio {
            .filename = reader.required<asString>(QLatin1String("filename")),
            .createdAt = reader.required<asDate>(QLatin1String("createdAt")),
            .status = reader.required<asStatus>(QLatin1String("status")),
            .error = reader.optional<asString>(QLatin1String("error")),
        });
}

std::optional<NoteFile> asFile(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    ObjectReader reader(value.toObject());
    return accepted(reader,
        NoteFile {
            .id = reader.required<asUuid>(QLatin1String("id")),
            .filename = reader.required<asString>(QLatin1String("filename")),
            .originalName = reader.required<asString>(QLatin1String("originalName")),
            .folderID = reader.optional<asUuid>(QLatin1String("folderID")),
        });
}

std::optional<NotePage> asPage(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    ObjectReader reader(value.toObject());
    // Older stored pages lack the last four keys.
    return accepted(reader,
        NotePage {
            .id = reader.required<asUuid>(QLatin1String("id")),
            .title = reader.required<asString>(QLatin1String("title")),
            .color = reader.defaulted<asColor>(QLatin1String("color"), NoteColor::blue),
            .content = reader.defaulted<asString>(QLatin1String("content"), QString()),
            .attachments = reader.defaulted<asList<asAudio>>(QLatin1String("attachments"), {}),
            .files = reader.defaulted<asList<asFile>>(QLatin1String("files"), {}),
        });
}

template <auto convertRecord>
std::optional<QList<Converted<convertRecord>>> decodeList(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return asList<convertRecord>(QJsonValue(document.array()));
}

} // namespace

namespace WorkspaceJson {

QByteArray encodeTasks(const QList<TaskItem>& tasks)
{
    QJsonArray array;
    for (const TaskItem& task : tasks)
        array.append(taskObject(task));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<TaskItem>> decodeTasks(const QByteArray& data)
{
    return decodeList<asTask>(data);
}

QByteArray encodePage(const NotePage& page)
{
    return QJsonDocument(pageObject(page)).toJson(QJsonDocument::Compact);
}

QByteArray encodePages(const QList<NotePage>& pages)
{
    // Assembled from the per-page forms so that PageListEncoder can reuse them byte for byte.
    QList<QByteArray> encoded;
    encoded.reserve(pages.size());
    for (const NotePage& page : pages)
        encoded.append(encodePage(page));
    return joinedArray(encoded);
}

std::optional<QList<NotePage>> decodePages(const QByteArray& data)
{
    return decodeList<asPage>(data);
}

} // namespace WorkspaceJson

QByteArray PageListEncoder::encode(const QList<NotePage>& pages)
{
    return joinedArray(pageForms(pages));
}

QList<QByteArray> PageListEncoder::pageForms(const QList<NotePage>& pages)
{
    // The next cache holds exactly the pages of this call, which drops pages that are gone.
    QHash<QUuid, Entry> next;
    next.reserve(pages.size());
    QList<QByteArray> encoded;
    encoded.reserve(pages.size());
    for (const NotePage& page : pages) {
        const auto cached = m_cache.constFind(page.id);
        // Unchanged fields share their data with the cached copy, so the comparison is cheap.
        QByteArray json = cached != m_cache.cend() && cached->page == page ? cached->json
                                                                           : WorkspaceJson::encodePage(page);
        encoded.append(json);
        next.insert(page.id, Entry { page, std::move(json) });
    }
    m_cache = std::move(next);
    return encoded;
}
