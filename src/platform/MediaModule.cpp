#include "MediaModule.h"

#include "platform/localization/L10n.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <dlfcn.h>

namespace {
const QString kFileName = QStringLiteral("libtandrel_media.so");

struct Loaded {
    void* handle = nullptr;
    QString problem; // what the loader said, when it failed
};

// Rendered at each failure, in the interface language of the moment.
QString cannotLoad(const QString& detail)
{
    return L10n::tr("无法加载 Tandrel 的音频和网络组件（{0}），请重新安装 Tandrel。", { detail });
}

// Beside the program, where an installation puts it, or where the build wrote it.
QStringList candidates()
{
    QStringList paths;
    if (QCoreApplication::instance()) {
        const QString folder = QCoreApplication::applicationDirPath();
        paths << folder + QLatin1Char('/') + kFileName << folder + QStringLiteral("/../lib/tandrel/") + kFileName;
    }
#ifdef TANDREL_MEDIA_MODULE_BUILD_PATH
    paths << QStringLiteral(TANDREL_MEDIA_MODULE_BUILD_PATH);
#endif
    return paths;
}

const Loaded& module()
{
    static const Loaded loaded = [] {
        Loaded result;
        for (const QString& path : candidates()) {
            if (!QFile::exists(path))
                continue;
            if (void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL)) {
                result.handle = handle;
                return result;
            }
            result.problem = QString::fromLocal8Bit(::dlerror());
        }
        if (result.problem.isEmpty())
            result.problem = kFileName;
        return result;
    }();
    return loaded;
}

void* entry(const char* name, QString* error)
{
    const Loaded& loaded = module();
    void* function = loaded.handle ? ::dlsym(loaded.handle, name) : nullptr;
    if (!function && error) {
        *error = cannotLoad(loaded.handle ? QString::fromLatin1(name) : loaded.problem);
    }
    return function;
}
} // namespace

AudioBackend* MediaModule::createAudioBackend(QObject* parent, QString* error)
{
    const auto create = reinterpret_cast<TandrelCreateAudioBackend>(entry(TANDREL_MEDIA_AUDIO_BACKEND, error));
    return create ? create(parent) : nullptr;
}

HttpTransfer* MediaModule::get(const HttpRequest& request, QString* error)
{
    const auto get = reinterpret_cast<TandrelHttpGet>(entry(TANDREL_MEDIA_HTTP_GET, error));
    return get ? get(&request) : nullptr;
}
