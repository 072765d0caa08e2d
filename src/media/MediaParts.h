#pragma once

#include "platform/MediaPlugin.h"

// The media plugin's work, apart from the plugin shell (MediaPluginEntry.cpp): tests of
// these parts link them directly.
class MediaParts : public MediaPlugin {
public:
    // Texts come from the program's L10n where the parts are linked into it (tests).
    void setHost(const MediaHost&) override { }
    AudioBackend* createAudioBackend(QObject* parent) override;
    HttpTransfer* get(const HttpRequest& request) override;
    std::unique_ptr<SpeechRecognizer> createSpeechRecognizer() override;
    QString whisperLanguage(const QString& localeIdentifier) override;
};
