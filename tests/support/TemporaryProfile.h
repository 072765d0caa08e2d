#pragma once

#include "platform/preferences/Preferences.h"

#include <QTemporaryDir>

#include <memory>

// A private preferences database in a temporary folder, the standard store (and so the
// source of the interface language) while it lives.
struct TemporaryProfile {
    QTemporaryDir dir;
    std::unique_ptr<Preferences> preferences;

    explicit TemporaryProfile(const QString& language = QStringLiteral("en"))
        : preferences(std::make_unique<Preferences>(dir.filePath("preferences.sqlite")))
    {
        Preferences::setStandard(preferences.get());
        preferences->setString("interfaceLanguage", language);
    }
    ~TemporaryProfile() { Preferences::setStandard(nullptr); }

    QString path(const QString& name) const { return dir.filePath(name); }
    void setLanguage(const QString& language) { preferences->setString("interfaceLanguage", language); }
};
