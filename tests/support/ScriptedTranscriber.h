#pragma once

#include "platform/speech/TranscriptionProviding.h"

#include <QList>
#include <QStringList>

// A transcriber that answers only when the test says so and remembers every request.
// Like the real one it never answers from within transcribe(), and once destroyed it
// calls nothing.
class ScriptedTranscriber : public TranscriptionProviding {
public:
    struct Request {
        QString path;
        QString locale;
        Completion completion;
    };

    using TranscriptionProviding::TranscriptionProviding;

    void transcribe(const QString& audioPath, const QString& localeIdentifier, Completion completion) override
    {
        requests.append({ audioPath, localeIdentifier, std::move(completion) });
    }
    void prepare(const QString& localeIdentifier) override { prepared << localeIdentifier; }
    bool needsModel(const QString& localeIdentifier) override { return modelNeeded && modelNeeded(localeIdentifier); }

    // True while the latest request has not been answered.
    bool isRunning() const { return !requests.isEmpty() && requests.last().completion; }

    // Answers the latest request once.
    void complete(Result<QString> result)
    {
        Q_ASSERT(isRunning());
        Completion completion = std::move(requests.last().completion);
        requests.last().completion = nullptr;
        completion(std::move(result));
    }
    void fail(const QString& sentence) { complete(StorageError { sentence }); }

    QStringList locales() const
    {
        QStringList result;
        for (const Request& request : requests)
            result << request.locale;
        return result;
    }

    QList<Request> requests;
    QStringList prepared;
    std::function<bool(const QString&)> modelNeeded;
};
