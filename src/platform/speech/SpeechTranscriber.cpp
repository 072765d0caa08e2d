#include "SpeechTranscriber.h"

SpeechTranscriber::SpeechTranscriber(QObject* parent)
    : TranscriptionProviding(parent)
{
}
