#include "AppLanguage.h"

#include "platform/preferences/Preferences.h"

#include <QLocale>
#include <QMutex>
#include <QMutexLocker>

#include <utility>

namespace {

const QString interfaceLanguageKey = QStringLiteral("interfaceLanguage");

struct PreferredLanguagesProvider {
    QMutex mutex;
    std::function<QStringList()> provider;
};

PreferredLanguagesProvider& preferredLanguagesProvider()
{
    static PreferredLanguagesProvider instance;
    return instance;
}

} // namespace

QString AppLanguage::rawValue() const
{
    switch (m_value) {
    case chinese:
        return QStringLiteral("zh-Hans");
    case english:
        return QStringLiteral("en");
    case system:
        break;
    }
    return QStringLiteral("system");
}

AppLanguage AppLanguage::fromRawValue(const QString& raw)
{
    if (raw == QLatin1String("zh-Hans"))
        return chinese;
    if (raw == QLatin1String("en"))
        return english;
    return system;
}

AppLanguage AppLanguage::current(const Preferences* defaults)
{
    if (!defaults)
        return system;
    const std::optional<QString> stored = defaults->string(interfaceLanguageKey);
    return stored ? fromRawValue(*stored) : AppLanguage(system);
}

AppLanguage AppLanguage::current()
{
    return current(Preferences::standard());
}

AppLanguage AppLanguage::resolved(const QStringList& preferredLanguages) const
{
    if (m_value != system)
        return m_value;
    // Any Chinese variant (traditional and regional ones included) counts as Chinese.
    if (!preferredLanguages.isEmpty() && preferredLanguages.first().startsWith(QLatin1String("zh")))
        return chinese;
    return english;
}

AppLanguage AppLanguage::resolved() const
{
    // Only `system` depends on the list; skip reading it otherwise.
    return m_value == system ? resolved(systemPreferredLanguages()) : AppLanguage(m_value);
}

QStringList AppLanguage::systemPreferredLanguages()
{
    std::function<QStringList()> provider;
    {
        PreferredLanguagesProvider& state = preferredLanguagesProvider();
        QMutexLocker locker(&state.mutex);
        provider = state.provider;
    }
    // Read at every call so that a change of the system languages applies at the next rendering.
    return provider ? provider() : QLocale::system().uiLanguages();
}

void AppLanguage::setPreferredLanguagesProvider(std::function<QStringList()> provider)
{
    PreferredLanguagesProvider& state = preferredLanguagesProvider();
    QMutexLocker locker(&state.mutex);
    state.provider = std::move(provider);
}
