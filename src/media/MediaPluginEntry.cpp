// The shell of libtandrel_media.so. The plugin shares source files with the program
// (L10n::tr calls among them) but none of its state: texts are rendered by the program's
// L10n, handed over in setHost(). The plugin is linked with --no-undefined, so any other
// reach into the program fails at build time.
#include "MediaParts.h"

#include "platform/localization/L10n.h"

#include <QObject>

#include <mutex>

namespace {
std::mutex hostMutex;
MediaHost host;
} // namespace

// Recorders render their failures on their worker threads.
QString L10n::tr(const QString& text, const QStringList& arguments)
{
    std::function<QString(const QString&, const QStringList&)> translate;
    {
        const std::lock_guard lock(hostMutex);
        translate = host.translate;
    }
    return translate ? translate(text, arguments) : text;
}

class TandrelMediaPlugin : public QObject, public MediaParts {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TandrelMediaPlugin_iid)
    Q_INTERFACES(MediaPlugin)
public:
    void setHost(const MediaHost& given) override
    {
        const std::lock_guard lock(hostMutex);
        host = given;
    }
};

#include "MediaPluginEntry.moc"
