#pragma once

#include "HttpTransfer.h"
#include "speech/SpeechRecognizer.h"

#include <QString>
#include <QStringList>
#include <QtPlugin>

#include <functional>
#include <memory>

class AudioBackend;
class QObject;

// What the program lends the media plugin: the plugin has no access to the program's
// own state (preferences, language), only to what is handed over here.
struct MediaHost {
    // L10n::tr of the program: the sentence for a Chinese key in the current language.
    std::function<QString(const QString& text, const QStringList& arguments)> translate;
};

// Everything that needs FFmpeg, the speech engines, Qt Multimedia or Qt Network. These
// libraries, with the dozens they bring, would slow every start for features that most
// sessions use late or never, so they live in a plugin loaded on first use
// (MediaModule). Main thread only, except where a method says otherwise.
class MediaPlugin {
public:
    virtual ~MediaPlugin() = default;

    // Called once, before anything else.
    virtual void setHost(const MediaHost& host) = 0;
    // The desktop's audio: capture, AAC files, playback.
    virtual AudioBackend* createAudioBackend(QObject* parent) = 0;
    // Starts an HTTP GET owned by the caller.
    virtual HttpTransfer* get(const HttpRequest& request) = 0;
    // Recognisers for one worker thread; keep it to keep the models loaded.
    virtual std::unique_ptr<SpeechRecognizer> createSpeechRecognizer() = 0;
    // The whisper language code for a locale identifier ("zh-CN" -> "zh", "en_US" -> "en");
    // empty when whisper has no such language.
    virtual QString whisperLanguage(const QString& localeIdentifier) = 0;
};

#define TandrelMediaPlugin_iid "org.tandrel.MediaPlugin/1"
Q_DECLARE_INTERFACE(MediaPlugin, TandrelMediaPlugin_iid)
