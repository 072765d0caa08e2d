#pragma once

#include "platform/speech/ModelInstallPrompt.h"

// Remembers each question; the test answers the latest one when it chooses.
class ScriptedModelPrompt : public ModelInstallPrompt {
public:
    void ask(const QList<WhisperModel>& models, const QString& source, std::function<void(QString)> answer) override
    {
        offered = models;
        ++asked;
        Q_UNUSED(source)
        m_answer = std::move(answer);
    }
    void answer(const QString& modelID) { std::exchange(m_answer, nullptr)(modelID); }

    QList<WhisperModel> offered;
    int asked = 0;

private:
    std::function<void(QString)> m_answer;
};
