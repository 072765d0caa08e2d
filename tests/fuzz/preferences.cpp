// A preferences database of any bytes: it opens (or is set aside, or left alone), every read
// of every kind answers, and a value written afterwards reads back after the store is opened
// again.
#include "FuzzInput.h"
#include "platform/preferences/Preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("preferences.sqlite"));
    FuzzInput::writeFile(path, FuzzInput::bytes(data, size));
    const QStringList keys { "sidebarWindowPinned", "focusDuration", "taskPaneRatio", "interfaceLanguage", "tasks",
        "notePages" };
    {
        Preferences preferences(path);
        for (const QString& key : keys) {
            std::ignore = preferences.kind(key);
            std::ignore = preferences.boolValue(key);
            std::ignore = preferences.object(key);
            std::ignore = preferences.string(key);
            std::ignore = preferences.data(key);
            std::ignore = preferences.integer(key);
            std::ignore = preferences.doubleValue(key);
        }
        // A file it could neither open nor set aside (a newer format, say) is left alone, and
        // the session runs in memory, as the user is told.
        const bool inMemory = !preferences.startupIssue().isEmpty() && preferences.setAsidePath().isEmpty();
        if (!preferences.setArray("notePages", { { "a", "{\"id\":\"a\"}" }, { "b", "2" } }) || inMemory)
            return 0;
    }
    FuzzInput::require(Preferences(path).data("notePages") == QByteArray("[{\"id\":\"a\"},2]"));
    return 0;
}
