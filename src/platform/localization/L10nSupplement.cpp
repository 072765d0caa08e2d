#include "L10n.h"

namespace L10n {

// One pair per line; a key must not also be a key of the main table.
// clang-format off
const QHash<QString, QString>& supplement()
{
    static const QHash<QString, QString> table {
        { QStringLiteral("设置数据库已损坏，已将原文件保留为 {0}，Tandrel 以空白设置启动。"), QStringLiteral("The settings database was damaged. The original file was kept as {0}, and Tandrel started with empty settings.") },
        { QStringLiteral("无法打开设置数据库 {0}，本次更改不会被保存。"), QStringLiteral("Could not open the settings database {0}. Changes will not be saved this time.") },
        { QStringLiteral("已保留无法读取的数据，备份在“{0}”中。"), QStringLiteral("Unreadable data was kept as a backup under “{0}”.") },
        { QStringLiteral("文件夹“{0}”不存在或无法读取。"), QStringLiteral("The folder “{0}” does not exist or cannot be read.") },
        { QStringLiteral("文件夹授权数据无法读取。"), QStringLiteral("The saved folder access could not be read.") },
        { QStringLiteral("无法创建文件夹“{0}”。"), QStringLiteral("Could not create the folder “{0}”.") },
    };
    return table;
}
// clang-format on

} // namespace L10n
