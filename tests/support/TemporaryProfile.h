#pragma once

#include "platform/preferences/Preferences.h"

#include <QTemporaryDir>

#include <memory>

// A preferences database in a folder of its own (a temporary one unless given), installed as
// the standard store, where the interface language is read, for the fixture's life.
class TemporaryProfile {
public:
    explicit TemporaryProfile(const QString& language = QStringLiteral("zh-Hans"), const QString& folder = {})
        : m_path((folder.isEmpty() ? m_dir.path() : folder) + QStringLiteral("/preferences.sqlite"))
    {
        reopen();
        // A test whose profile cannot be written would test nothing.
        if (!m_preferences->setString(QStringLiteral("interfaceLanguage"), language))
            qFatal("TemporaryProfile: cannot write %s", qPrintable(m_path));
    }
    ~TemporaryProfile() { Preferences::setStandard(nullptr); }
    TemporaryProfile(const TemporaryProfile&) = delete;
    TemporaryProfile& operator=(const TemporaryProfile&) = delete;

    Preferences& preferences() const { return *m_preferences; }
    QString databasePath() const { return m_path; }
    // Closes the database and opens it again, as the next run of the program would.
    void reopen()
    {
        Preferences::setStandard(nullptr);
        m_preferences.reset();
        m_preferences = std::make_unique<Preferences>(m_path);
        Preferences::setStandard(m_preferences.get());
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<Preferences> m_preferences;
};
