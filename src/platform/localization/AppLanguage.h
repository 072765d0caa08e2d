#pragma once

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

    // Reads "interfaceLanguage" from `defaults` (nullptr or a missing value: system).
    static AppLanguage current(const Preferences* defaults);
    // The standard preferences store's setting (Preferences::standard()).
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
