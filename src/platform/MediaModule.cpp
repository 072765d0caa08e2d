#include "MediaModule.h"

#include "platform/localization/L10n.h"

#include <QCoreApplication>
#include <QFile>
#include <QPluginLoader>
#include <QStringList>

#include <optional>

namespace {
const QString kFileName = QStringLiteral("libtandrel_media.so");

struct Loaded {
    MediaPlugin* plugin = nullptr;
    QString problem; // what the loader said, when it failed
};

std::optional<QStringList> searchFolders;
std::optional<Loaded> loaded;

QStringList candidates()
{
    if (searchFolders) {
        QStringList paths;
        for (const QString& folder : *searchFolders)
            paths << folder + u'/' + kFileName;
        return paths;
    }
    QStringList paths;
    if (QCoreApplication::instance()) {
        const QString folder = QCoreApplication::applicationDirPath();
        paths << folder + u'/' + kFileName << folder + QStringLiteral("/../lib/tandrel/") + kFileName;
    }
#ifdef TANDREL_MEDIA_PLUGIN_BUILD_PATH
    paths << QStringLiteral(TANDREL_MEDIA_PLUGIN_BUILD_PATH);
#endif
    return paths;
}

Loaded load()
{
    Loaded result;
    for (const QString& path : candidates()) {
        if (!QFile::exists(path))
            continue;
        // Never unloaded: its objects live as long as their owners.
        QPluginLoader loader(path);
        result.plugin = qobject_cast<MediaPlugin*>(loader.instance());
        if (result.plugin) {
            result.plugin->setHost({ [](const QString& text, const QStringList& arguments) {
                return L10n::tr(text, arguments);
            } });
            return result;
        }
        result.problem = loader.errorString();
    }
    if (result.problem.isEmpty())
        result.problem = kFileName;
    return result;
}
} // namespace

MediaPlugin* MediaModule::plugin(QString* error)
{
    if (!loaded)
        loaded = load();
    if (!loaded->plugin && error) {
        // Rendered at each failure, in the interface language of the moment.
        *error = L10n::tr("无法加载 Tandrel 的音频和网络组件（{0}），请重新安装 Tandrel。", { loaded->problem });
    }
    return loaded->plugin;
}

HttpTransfer* MediaModule::get(const HttpRequest& request, QString* error)
{
    MediaPlugin* media = plugin(error);
    return media ? media->get(request) : nullptr;
}

void MediaModule::setSearchFolders(const QStringList& folders)
{
    searchFolders = folders;
    loaded.reset();
}
