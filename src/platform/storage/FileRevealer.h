#pragma once

#include "FileOpener.h"

#include <QString>

#include <chrono>
#include <memory>

// Shows a file in the desktop's file manager with the file selected.
class FileRevealer {
public:
    virtual ~FileRevealer() = default;
    virtual void reveal(const QString& path) = 0;
};

// The freedesktop.org file-manager interface (org.freedesktop.FileManager1.ShowItems) on
// the session bus. When no file manager answers within `answerTime`, or the one there
// refuses, the folder is opened instead (by `folderOpener`, the desktop's by default).
class DesktopFileRevealer : public FileRevealer {
public:
    explicit DesktopFileRevealer(std::shared_ptr<FileOpener> folderOpener = {},
                                 std::chrono::milliseconds answerTime = std::chrono::seconds(5));
    void reveal(const QString& path) override;

private:
    std::shared_ptr<FileOpener> m_folderOpener;
    std::chrono::milliseconds m_answerTime;
};
