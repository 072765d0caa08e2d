#pragma once

#include "platform/storage/FileOpener.h"

#include <QStringList>

// Remembers what it was asked to open instead of starting applications.
class ScriptedFileOpener : public FileOpener {
public:
    QStringList opened;
    bool succeeds = true;

    bool open(const QString& path) override
    {
        opened << path;
        return succeeds;
    }
};
