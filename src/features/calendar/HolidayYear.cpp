#include "HolidayYear.h"

#include "platform/localization/L10n.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {

QJsonObject toJson(const HolidayYear& year)
{
    QJsonArray days;
    for (const HolidayOverride& day : year.days) {
        days.append(QJsonObject {
            { QStringLiteral("date"), day.date },
            { QStringLiteral("isOff"), day.isOff },
            { QStringLiteral("name"), day.name },
        });
    }
    return QJsonObject {
        { QStringLiteral("year"), year.year },
        { QStringLiteral("source"), year.source },
        { QStringLiteral("days"), days },
    };
}

// What is wrong, as a key path ("days[3].isOff"); nothing when the object decodes.
struct Decoded {
    HolidayYear year;
    QString badKey;
};

std::optional<int> integerValue(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

Decoded fromJson(const QJsonObject& object)
{
    Decoded result;
    const auto year = integerValue(object.value(QStringLiteral("year")));
    if (!year)
        return { {}, QStringLiteral("year") };
    result.year.year = *year;
    const QJsonValue source = object.value(QStringLiteral("source"));
    if (!source.isString())
        return { {}, QStringLiteral("source") };
    result.year.source = source.toString();
    const QJsonValue days = object.value(QStringLiteral("days"));
    if (!days.isArray())
        return { {}, QStringLiteral("days") };
    const QJsonArray array = days.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString prefix = QStringLiteral("days[%1]").arg(i);
        if (!array.at(i).isObject())
            return { {}, prefix };
        const QJsonObject day = array.at(i).toObject();
        const QJsonValue date = day.value(QStringLiteral("date"));
        const QJsonValue isOff = day.value(QStringLiteral("isOff"));
        const QJsonValue name = day.value(QStringLiteral("name"));
        if (!date.isString())
            return { {}, prefix + QStringLiteral(".date") };
        if (!isOff.isBool())
            return { {}, prefix + QStringLiteral(".isOff") };
        if (!name.isString())
            return { {}, prefix + QStringLiteral(".name") };
        result.year.days.append({ date.toString(), isOff.toBool(), name.toString() });
    }
    return result;
}

} // namespace

namespace HolidayYears {

QByteArray encode(const QList<HolidayYear>& years)
{
    QJsonArray array;
    for (const HolidayYear& year : years)
        array.append(toJson(year));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<HolidayYear>> decodeList(const QByteArray& data)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<HolidayYear> years;
    for (const QJsonValue& value : document.array()) {
        if (!value.isObject())
            return std::nullopt;
        Decoded decoded = fromJson(value.toObject());
        if (!decoded.badKey.isEmpty())
            return std::nullopt;
        years.append(std::move(decoded.year));
    }
    return years;
}

Result<HolidayYear> decode(const QByteArray& data)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return StorageError { L10n::tr(
            "日历文件不是有效的 JSON（第 {0} 个字符处）。", { QString::number(error.offset) }) };
    if (!document.isObject())
        return StorageError { L10n::tr("日历文件必须包含一个 JSON 对象。") };
    Decoded decoded = fromJson(document.object());
    if (!decoded.badKey.isEmpty())
        return StorageError { L10n::tr("日历文件中的“{0}”缺失或类型不正确。", { decoded.badKey }) };
    return std::move(decoded.year);
}

} // namespace HolidayYears
