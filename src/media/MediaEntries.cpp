// What the media part offers the rest of the program (looked up by name once loaded).
#include "NetworkTransfer.h"
#include "QtAudioBackend.h"

#include "platform/MediaModule.h"

extern "C" Q_DECL_EXPORT AudioBackend* tandrel_media_create_audio_backend(QObject* parent)
{
    return new QtAudioBackend(parent);
}

extern "C" Q_DECL_EXPORT HttpTransfer* tandrel_media_http_get(const HttpRequest* request)
{
    return new NetworkTransfer(*request);
}

// The factories must keep the shape the loader calls them by.
static_assert(std::is_same_v<decltype(&tandrel_media_create_audio_backend), TandrelCreateAudioBackend>);
static_assert(std::is_same_v<decltype(&tandrel_media_http_get), TandrelHttpGet>);
