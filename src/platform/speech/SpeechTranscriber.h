#pragma once

#include "TranscriptionProviding.h"

class SpeechTranscriber : public TranscriptionProviding {
    Q_OBJECT
public:
    explicit SpeechTranscriber(QObject* parent = nullptr);
};
