#include "AppLanguage.h"

#include "platform/preferences/Preferences.h"

#include <QApplication>
#include <QEvent>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <atomic>

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

// The language in memory, bound to the standard store that was current when it was last
// read: rendering never touches the database, and a store installed later is followed.
struct CurrentLanguage {
    std::atomic<int> value { AppLanguage::system };
    QPointer<Preferences> boundTo;
    QMetaObject::Connection connection;
};

CurrentLanguage& currentLanguage()
{
    static CurrentLanguage instance;
    return instance;
}

void announceLanguageChange()
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // QWidget passes the event on to its children.
        for (QWidget* widget : app->topLevelWidgets()) {
            QEvent change(QEvent::LanguageChange);
            QCoreApplication::sendEvent(widget, &change);
        }
    }
    emit LanguageChanges::instance()->changed();
}

void bindTo(Preferences* preferences)
{
    CurrentLanguage& state = currentLanguage();
    QObject::disconnect(state.connection);
    state.boundTo = preferences;
    state.value = AppLanguage::current(preferences);
    if (!preferences)
        return;
    state.connection = QObject::connect(preferences, &Preferences::changed, preferences, [preferences](const QString& key) {
        if (key != interfaceLanguageKey)
            return;
        CurrentLanguage& bound = currentLanguage();
        const int language = AppLanguage::current(preferences);
        if (bound.value.exchange(language) != language)
            announceLanguageChange();
    });
}

} // namespace

LanguageChanges* LanguageChanges::instance()
{
    static LanguageChanges* changes = new LanguageChanges;
    return changes;
}

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

AppLanguage AppLanguage::current(const Preferences* preferences)
{
    if (!preferences)
        return system;
    const std::optional<QString> stored = preferences->string(interfaceLanguageKey);
    return stored ? fromRawValue(*stored) : AppLanguage(system);
}

AppLanguage AppLanguage::current()
{
    CurrentLanguage& state = currentLanguage();
    const QCoreApplication* app = QCoreApplication::instance();
    const bool mainThread = !app || QThread::currentThread() == app->thread();
    if (mainThread) {
        Preferences* standard = Preferences::standard();
        if (state.boundTo != standard || (standard && !state.connection))
            bindTo(standard);
    }
    return Value(state.value.load());
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
