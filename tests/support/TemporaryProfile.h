#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class Preferences;

// One test's private profile: a temporary folder, a preferences database in it installed as
// the standard store (the interface language is read from there), and the language.
class TemporaryProfile {
public:
    explicit TemporaryProfile(const QString& language = QStringLiteral("zh-Hans"));
    ~TemporaryProfile();
    TemporaryProfile(const TemporaryProfile&) = delete;
    TemporaryProfile& operator=(const TemporaryProfile&) = delete;

    Preferences* preferences() const { return m_preferences.get(); }
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
    std::unique_ptr<Preferences> m_preferences;
};
