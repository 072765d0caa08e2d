#pragma once

#include "platform/speech/ModelInstallPrompt.h"

#include <QDialog>
#include <QPointer>

// Asks with a window of its own, over the active window: the models with their sizes (the
// recommended one first and chosen), where they come from, Download or Not Now.
class ModelInstallDialog : public ModelInstallPrompt {
public:
    // A question still open when its asker goes (the program quits) goes with it.
    ~ModelInstallDialog() override;
    void ask(const QList<WhisperModel>& models, const QString& source,
        std::function<void(QString)> answer) override;

    // "推荐 base-q5_1：…" : why the recommended model suits a two-core computer.
    static QString recommendation(const WhisperModel& model);

private:
    QPointer<QDialog> m_dialog;
};
