#pragma once

#include <QString>

// Opens a file with the desktop's default application for its type.
class FileOpener {
public:
    virtual ~FileOpener() = default;
    // False when no application could be asked to open it.
    virtual bool open(const QString& path) = 0;
};

// xdg-open and the desktop's portal, through QDesktopServices.
class DesktopFileOpener : public FileOpener {
public:
    bool open(const QString& path) override;
};
