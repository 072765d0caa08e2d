#include "SpeechRecognizer.h"

#include <QFileInfo>

#ifndef TANDREL_POCKETSPHINX_MODEL_DIR
#define TANDREL_POCKETSPHINX_MODEL_DIR "/usr/share/pocketsphinx/model"
#endif

bool PocketsphinxModel::isInstalled() const
{
    return QFileInfo(acousticModel).isDir() && QFileInfo(languageModel).isFile()
        && QFileInfo(dictionary).isFile();
}

PocketsphinxModel PocketsphinxModel::debianUsEnglish()
{
    const QString folder = QStringLiteral(TANDREL_POCKETSPHINX_MODEL_DIR "/en-us");
    return {
        QStringLiteral("en-US"),
        folder + QStringLiteral("/en-us"),
        folder + QStringLiteral("/en-us.lm.bin"),
        folder + QStringLiteral("/cmudict-en-us.dict"),
    };
}
