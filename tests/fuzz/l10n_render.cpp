// Rendering a text with arguments, in both languages: the input is the text and then the
// arguments, separated by NUL bytes. An argument is inserted as it is, never scanned again.
#include "FuzzInput.h"
#include "platform/localization/L10n.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList parts = FuzzInput::text(data, size).split(QChar(0));
    const QStringList arguments = parts.mid(1);
    for (AppLanguage language : { AppLanguage::chinese, AppLanguage::english })
        std::ignore = L10n::render(parts.first(), arguments, language);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString placeholder = QStringLiteral("{%1}").arg(i);
        FuzzInput::require(L10n::render(placeholder, arguments, AppLanguage::chinese) == arguments.at(i));
    }
    return 0;
}
