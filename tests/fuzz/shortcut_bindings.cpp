// The stored shortcut bindings: every entry of any object decodes or is refused, and what
// decodes is stored again as it was read and can be shown.
#include "FuzzInput.h"
#include "core/KeyboardShortcutBinding.h"

#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonObject stored = QJsonDocument::fromJson(FuzzInput::bytes(data, size)).object();
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        std::ignore = ShortcutActions::fromId(it.key());
        if (const auto binding = KeyboardShortcutBinding::fromJson(it.value())) {
            FuzzInput::require(KeyboardShortcutBinding::fromJson(binding->toJson()) == binding);
            std::ignore = binding->isValid();
            std::ignore = binding->displayTitle(QStringLiteral("Space"));
        }
    }
    return 0;
}
