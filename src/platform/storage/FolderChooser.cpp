#include "FolderChooser.h"

#include <QApplication>
#include <QFileDialog>

std::optional<QString> DialogFolderChooser::chooseFolder(const QString& title)
{
    const QString path = QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, QString(),
                                                           QFileDialog::ShowDirsOnly);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> DialogFolderChooser::chooseFile(const QString& title, const QString& nameFilter)
{
    const QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), title, QString(), nameFilter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}
