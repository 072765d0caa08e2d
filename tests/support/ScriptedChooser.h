#pragma once

#include "platform/storage/FolderChooser.h"

#include <QList>
#include <QStringList>

// Hands out the folders and files a test queues, in order (nothing once the queue is empty:
// the user cancelled), and remembers the titles and filters it was asked with.
class ScriptedChooser : public FolderChooser {
public:
    QList<std::optional<QString>> folders;
    QList<std::optional<QString>> files;
    QStringList titles;
    QStringList filters;

    std::optional<QString> chooseFolder(const QString& title) override
    {
        titles.append(title);
        return folders.isEmpty() ? std::nullopt : folders.takeFirst();
    }
    std::optional<QString> chooseFile(const QString& title, const QString& filter) override
    {
        titles.append(title);
        filters.append(filter);
        return files.isEmpty() ? std::nullopt : files.takeFirst();
    }
};
