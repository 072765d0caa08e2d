#pragma once

#include <QString>

#include <optional>

class QWidget;

// Lets the user pick one folder or one file; a modal dialog on the desktop, a script in tests.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    virtual std::optional<QString> chooseFolder(const QString& title) = 0;
    virtual std::optional<QString> chooseFile(const QString& title, const QString& nameFilter) = 0;
};

class DialogFolderChooser final : public FolderChooser {
public:
    std::optional<QString> chooseFolder(const QString& title) override;
    std::optional<QString> chooseFile(const QString& title, const QString& nameFilter) override;
};
