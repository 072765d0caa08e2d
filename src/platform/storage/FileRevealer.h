#pragma once

#include <QString>

// Shows a file in the desktop's file manager with the file selected.
class FileRevealer {
public:
    virtual ~FileRevealer() = default;
    virtual void reveal(const QString& path) = 0;
};

// The freedesktop.org file-manager interface (org.freedesktop.FileManager1.ShowItems) on
// the session bus; without a file manager there, the folder is opened instead.
class DesktopFileRevealer : public FileRevealer {
public:
    void reveal(const QString& path) override;
};
