#include "MediaParts.h"

#include "NetworkTransfer.h"
#include "QtAudioBackend.h"
#include "SpeechEngines.h"

AudioBackend* MediaParts::createAudioBackend(QObject* parent)
{
    return new QtAudioBackend(parent);
}

HttpTransfer* MediaParts::get(const HttpRequest& request)
{
    return new NetworkTransfer(request);
}

std::unique_ptr<SpeechRecognizer> MediaParts::createSpeechRecognizer()
{
    return std::make_unique<SpeechEngines>();
}

QString MediaParts::whisperLanguage(const QString& localeIdentifier)
{
    return SpeechEngines::whisperLanguage(localeIdentifier);
}
