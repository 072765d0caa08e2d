// A preferences database of any bytes: it opens (or is set aside, or left alone), every read
// of every kind answers, and a value written afterwards reads back after the store is opened
// again, with every other key as it was.
#include "platform/preferences/Preferences.h"
#include "FuzzInput.h"

namespace {
const QStringList keys { "sidebarWindowPinned", "focusDuration", "taskPaneRatio", "interfaceLanguage",
    "tasks" };

// Every read but the double one (NaN is a stored double that equals nothing).
QVariantList reads(const Preferences& preferences)
{
    QVariantList result;
    for (const QString& key : keys) {
        result << QVariant::fromValue(preferences.kind(key)) << preferences.boolValue(key)
               << preferences.string(key).value_or("-") << preferences.data(key).value_or("-")
               << preferences.integer(key).value_or(-1);
        std::ignore = preferences.object(key);
        std::ignore = preferences.doubleValue(key);
    }
    return result;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("preferences.sqlite"));
    FuzzInput::writeFile(path, FuzzInput::bytes(data, size));
    QVariantList before;
    {
        Preferences preferences(path);
        before = reads(preferences);
        // A file it could neither open nor set aside (a newer format, say) is left alone, and
        // the session runs in memory, as the user is told.
        const bool inMemory = !preferences.startupIssue().isEmpty() && preferences.setAsidePath().isEmpty();
        if (!preferences.setArray("notePages", { { "a", "{\"id\":\"a\"}" }, { "b", "2" } }) || inMemory)
            return 0;
    }
    const Preferences reopened(path);
    FuzzInput::require(
        reopened.data("notePages") == QByteArray("[{\"id\":\"a\"},2]") && reads(reopened) == before);
    return 0;
}
