#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

#include "platform/preferences/Preferences.h"

// One test's private profile: a temporary folder, a preferences database in it installed as
// the standard store (the interface language is read from there), and the language.
class TemporaryProfile {
public:
    // `folder`: where the database goes instead of the temporary folder (a small file
    // system that a test fills up, for instance).
    explicit TemporaryProfile(const QString& language = QStringLiteral("zh-Hans"), const QString& folder = {});
    ~TemporaryProfile();
    TemporaryProfile(const TemporaryProfile&) = delete;
    TemporaryProfile& operator=(const TemporaryProfile&) = delete;

    Preferences* preferences() const { return m_preferences.get(); }
    QString databasePath() const { return m_databasePath; }
    // Closes the database and opens it again, as the next run of the program would.
    void reopen();
    // A path inside the profile's folder (the folder itself without an argument).
    QString path(const QString& relative = {}) const;
    // Creates the folder (and its parents) and returns its canonical path.
    QString makeFolder(const QString& relative) const;
    // Writes `bytes` to the file and returns its path (empty when it could not be written).
    QString writeFile(const QString& relative, const QByteArray& bytes) const;
    // Switches the interface language as the settings do ("zh-Hans", "en", "system"), then
    // lets the event loop deliver the change.
    void setLanguage(const QString& language);
    // What was kept aside under "<key>.unreadable-<UTC stamp>" since `since` (an unreadable
    // stored value is moved there before the key is written again).
    std::optional<QByteArray> keptAside(const QString& key, const QDateTime& since) const;

private:
    QTemporaryDir m_dir;
    QString m_databasePath;
    std::unique_ptr<Preferences> m_preferences;
};
