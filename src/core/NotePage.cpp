#include "NotePage.h"

#include <array>

namespace {

struct ColorInfo {
    NoteColor color;
    const char16_t* storedValue;
    const char16_t* title;
};

// In the order new pages cycle through the colours.
constexpr std::array<ColorInfo, 6> colors { {
    { NoteColor::blue, u"blue", u"蓝色" },
    { NoteColor::green, u"green", u"绿色" },
    { NoteColor::orange, u"orange", u"橙色" },
    { NoteColor::pink, u"pink", u"粉色" },
    { NoteColor::purple, u"purple", u"紫色" },
    { NoteColor::gray, u"gray", u"灰色" },
} };

struct StatusInfo {
    TranscriptionStatus status;
    const char16_t* storedValue;
};

constexpr std::array<StatusInfo, 4> statuses { {
    { TranscriptionStatus::queued, u"queued" },
    { TranscriptionStatus::transcribing, u"transcribing" },
    { TranscriptionStatus::completed, u"completed" },
    { TranscriptionStatus::failed, u"failed" },
} };

const ColorInfo& info(NoteColor color)
{
    for (const ColorInfo& entry : colors) {
        if (entry.color == color)
            return entry;
    }
    return colors.front();
}

} // namespace

namespace TranscriptionStatuses {

QString storedValue(TranscriptionStatus status)
{
    for (const StatusInfo& entry : statuses) {
        if (entry.status == status)
            return QString::fromUtf16(entry.storedValue);
    }
    return QString::fromUtf16(statuses.front().storedValue);
}

std::optional<TranscriptionStatus> fromStoredValue(const QString& value)
{
    for (const StatusInfo& entry : statuses) {
        if (value == QStringView(entry.storedValue))
            return entry.status;
    }
    return std::nullopt;
}

} // namespace TranscriptionStatuses

namespace NoteColors {

QString storedValue(NoteColor color)
{
    return QString::fromUtf16(info(color).storedValue);
}

std::optional<NoteColor> fromStoredValue(const QString& value)
{
    for (const ColorInfo& entry : colors) {
        if (value == QStringView(entry.storedValue))
            return entry.color;
    }
    return std::nullopt;
}

QString title(NoteColor color)
{
    return QString::fromUtf16(info(color).title);
}

QList<NoteColor> allCases()
{
    QList<NoteColor> result;
    result.reserve(qsizetype(colors.size()));
    for (const ColorInfo& entry : colors)
        result.append(entry.color);
    return result;
}

} // namespace NoteColors
