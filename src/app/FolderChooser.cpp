// The folder dialog: one folder, no remembered start folder.
#include "FolderChooser.h"

#include <QFileDialog>

std::optional<QUrl> chooseFolder(QWidget *parent, const QString &message)
{
    // No start folder and no remembered state: every call begins afresh.
    const QString folder =
        QFileDialog::getExistingDirectory(parent, message, QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return QUrl::fromLocalFile(folder);
}
