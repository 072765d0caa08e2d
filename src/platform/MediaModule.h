#pragma once

#include "HttpTransfer.h"

#include <QString>

class AudioBackend;
class QObject;

// Audio devices (Qt Multimedia) and the network (Qt Network) live in a part of the
// program of their own, loaded the first time either is needed: together with the
// libraries they bring, they would add a tenth of the start-up time for features that
// most sessions use late or never.
namespace MediaModule {

// The desktop's audio backend, or nullptr with `error` set (a finished sentence).
AudioBackend* createAudioBackend(QObject* parent, QString* error);

// A transfer for `request`, or nullptr with `error` set (a finished sentence).
HttpTransfer* get(const HttpRequest& request, QString* error);

} // namespace MediaModule

// The names under which the media part offers its two factories.
extern "C" {
using TandrelCreateAudioBackend = AudioBackend* (*)(QObject* parent);
using TandrelHttpGet = HttpTransfer* (*)(const HttpRequest* request);
}
#define TANDREL_MEDIA_AUDIO_BACKEND "tandrel_media_create_audio_backend"
#define TANDREL_MEDIA_HTTP_GET "tandrel_media_http_get"
