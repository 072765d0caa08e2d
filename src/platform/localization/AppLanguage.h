#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Preferences;

// The interface-language setting: follow the system, Simplified Chinese or English.
class AppLanguage {
public:
    enum Value { system, chinese, english };

    constexpr AppLanguage(Value value = system)
        : m_value(value)
    {
    }
    constexpr operator Value() const { return m_value; }

    // "system", "zh-Hans", "en"
    QString rawValue() const;
    // Exact match of a raw value; anything else is `system`.
    static AppLanguage fromRawValue(const QString& raw);

    // Reads "interfaceLanguage" from `preferences` (nullptr or a missing value: system).
    static AppLanguage current(const Preferences* preferences);
    // The standard preferences store's setting (Preferences::standard()), held in memory
    // and kept up to date from the store's change signal. When it changes, every widget
    // receives QEvent::LanguageChange and `LanguageChanges::instance()` emits `changed`,
    // once. Texts are rendered on the main thread; elsewhere this is the last known value.
    static AppLanguage current();

    // Never `system`: Chinese when the first preferred language begins with "zh".
    AppLanguage resolved(const QStringList& preferredLanguages) const;
    // Resolved against the system's preferred languages at the time of the call.
    AppLanguage resolved() const;

    // The system's ordered list of preferred languages; QLocale::uiLanguages() unless
    // a provider was installed (tests).
    static QStringList systemPreferredLanguages();
    static void setPreferredLanguagesProvider(std::function<QStringList()> provider);

private:
    Value m_value;
};

// For objects that are not widgets and keep rendered texts (scheduled notifications, the
// tray menu's owner): the one announcement of an interface-language change.
class LanguageChanges : public QObject {
    Q_OBJECT
public:
    static LanguageChanges* instance();

signals:
    void changed();

private:
    LanguageChanges() = default;
};
