#pragma once

#include "WhisperModels.h"

#include <QList>
#include <QString>

#include <functional>

// Asks the user once whether to download a speech model for recordings that wait for one.
class ModelInstallPrompt {
public:
    virtual ~ModelInstallPrompt() = default;

    // Offers `models` to download from `source` (a name to show). `answer` is called once,
    // later (never from within ask()), with the chosen model's id, or empty when the user
    // declines.
    virtual void ask(
        const QList<WhisperModel>& models, const QString& source, std::function<void(QString)> answer)
        = 0;
};
