#pragma once

#include "platform/speech/ModelInstallPrompt.h"

// Asks with a window of its own, over the active window: the models with their sizes (the
// recommended one first and chosen), where they come from, Download or Not Now.
class ModelInstallDialog : public ModelInstallPrompt {
public:
    void ask(const QList<WhisperModel>& models, const QString& source,
        std::function<void(QString)> answer) override;

    // "推荐 base-q5_1：…" : why the recommended model suits a two-core computer.
    static QString recommendation(const WhisperModel& model);
};
