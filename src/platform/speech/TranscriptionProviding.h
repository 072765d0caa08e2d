#pragma once

#include "core/Result.h"

#include <QObject>
#include <QString>

#include <functional>

// Turns a recording file into text on the device.
//
// transcribe() returns at once. The work runs elsewhere and `completion` is called exactly
// once, later, on the thread the provider lives on (the main thread), never from within
// transcribe() itself: with the transcript, or with an error whose errorDescription is
// the finished sentence to show the user. The audio file is only read, never changed.
// Callers run one transcription at a time: a request made while another is running fails.
// A provider destroyed while a transcription runs stops it and calls nothing.
class TranscriptionProviding : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(Result<QString>)>;

    using QObject::QObject;
    ~TranscriptionProviding() override = default;

    // `localeIdentifier` is the recognition language of the settings ("zh-CN", "en-US").
    virtual void transcribe(const QString& audioPath, const QString& localeIdentifier, Completion completion)
        = 0;

    // A recording in that language has started: the engine that will transcribe it may
    // load now, so that the transcript does not wait for the load when it stops.
    virtual void prepare(const QString& localeIdentifier) { Q_UNUSED(localeIdentifier) }
    // True when recordings in that language wait for a speech model to be installed: the
    // newer engine knows the language, no model of it is installed and no other engine can
    // take over.
    virtual bool needsModel(const QString& localeIdentifier)
    {
        Q_UNUSED(localeIdentifier)
        return false;
    }
};
