#pragma once

#include "platform/speech/ModelInstallPrompt.h"

// Counts the questions; the test answers the latest one when it chooses.
class ScriptedModelPrompt : public ModelInstallPrompt {
public:
    void ask(const QList<WhisperModel>&, const QString&, std::function<void(QString)> answer) override
    {
        ++asked;
        m_answer = std::move(answer);
    }
    void answer(const QString& modelID) { std::exchange(m_answer, nullptr)(modelID); }

    int asked = 0;

private:
    std::function<void(QString)> m_answer;
};
