#include "TemporaryProfile.h"

#include "platform/preferences/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

TemporaryProfile::TemporaryProfile(const QString& language, const QString& folder)
    : m_databasePath((folder.isEmpty() ? m_dir.path() : folder) + QStringLiteral("/preferences.sqlite"))
{
    Q_ASSERT(m_dir.isValid());
    reopen();
    // A test whose profile cannot be written would test nothing.
    if (!m_preferences->setString(QStringLiteral("interfaceLanguage"), language))
        qFatal("TemporaryProfile: cannot write %s", qPrintable(m_databasePath));
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void TemporaryProfile::reopen()
{
    if (Preferences::standard() == m_preferences.get())
        Preferences::setStandard(nullptr);
    m_preferences.reset();
    m_preferences = std::make_unique<Preferences>(m_databasePath);
    Preferences::setStandard(m_preferences.get());
}

TemporaryProfile::~TemporaryProfile()
{
    if (Preferences::standard() == m_preferences.get())
        Preferences::setStandard(nullptr);
}

QString TemporaryProfile::path(const QString& relative) const
{
    return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
}

QString TemporaryProfile::makeFolder(const QString& relative) const
{
    QDir().mkpath(path(relative));
    return QDir(path(relative)).canonicalPath();
}

QString TemporaryProfile::writeFile(const QString& relative, const QByteArray& bytes) const
{
    QFile file(path(relative));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

void TemporaryProfile::setLanguage(const QString& language)
{
    if (!m_preferences->setString(QStringLiteral("interfaceLanguage"), language))
        qFatal("The test profile cannot store its language");
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

std::optional<QByteArray> TemporaryProfile::keptAside(const QString& key, const QDateTime& since) const
{
    const QDateTime until = QDateTime::currentDateTimeUtc().addSecs(1);
    for (QDateTime t = since.toUTC().addSecs(-1); t <= until; t = t.addSecs(1)) {
        if (auto kept = m_preferences->data(key + ".unreadable-" + t.toString("yyyyMMdd-HHmmss")))
            return kept;
    }
    return std::nullopt;
}
