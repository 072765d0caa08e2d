#include "AutostartEntry.h"

#include "platform/localization/L10n.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {
const QString kFileName = QStringLiteral("io.github.tandrel.Tandrel.desktop");

// The keys of the entry's [Desktop Entry] group that switch it off.
bool switchedOff(const QByteArray& contents)
{
    bool inEntry = false;
    for (const QByteArray& raw : contents.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inEntry || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.sliced(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return true;
    }
    return false;
}

// `program` as one argument of a desktop file's Exec line: quoted when it holds a reserved
// character, with the value's own escapes applied on top.
QString execArgument(const QString& program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool quoted
        = std::any_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); });
    QString argument;
    for (QChar c : program) {
        if (quoted && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            argument += u'\\';
        // A lone % would start a field code.
        if (c == u'%')
            argument += u'%';
        argument += c;
    }
    if (quoted)
        argument = u'"' + argument + u'"';
    // The value's own escapes apply before the Exec quoting is read.
    QString value;
    for (QChar c : argument) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}
} // namespace

AutostartEntry::AutostartEntry(const QString& configFolder, const QString& program)
    : m_path((configFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                     : configFolder)
        + QStringLiteral("/autostart/") + kFileName)
    , m_program(program.isEmpty() ? QCoreApplication::applicationFilePath() : program)
{
}

bool AutostartEntry::isEnabled() const
{
    QFile file(m_path);
    return file.open(QIODevice::ReadOnly) && !switchedOff(file.readAll());
}

Result<bool> AutostartEntry::setEnabled(bool enabled) const
{
    if (!enabled) {
        if (QFileInfo::exists(m_path) && !QFile::remove(m_path))
            return StorageError { L10n::tr(
                "无法删除登录启动项“{0}”。", { QDir::toNativeSeparators(m_path) }) };
        return true;
    }
    const QString contents = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Tandrel\n"
                                            "Exec=%1\n"
                                            "Icon=io.github.tandrel.Tandrel\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(execArgument(m_program));
    QSaveFile file(m_path);
    if (!QDir().mkpath(QFileInfo(m_path).path()) || !file.open(QIODevice::WriteOnly)
        || file.write(contents.toUtf8()) < 0 || !file.commit())
        return StorageError { L10n::tr("无法写入登录启动项“{0}”。", { QDir::toNativeSeparators(m_path) }) };
    return true;
}
