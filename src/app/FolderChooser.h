// Asking the user for a folder, and the hook tests replace it with.
#pragma once

#include <QUrl>

#include <functional>
#include <optional>

class QWidget;

// Asks the user for one folder with `message` as the dialog's caption. Folders only; the
// dialog can make new folders. Absent when the user cancels.
std::optional<QUrl> chooseFolder(QWidget *parent, const QString &message);

// What the folder rows call to ask for a folder: `chooseFolder`, or a stand-in in tests.
using FolderChooser = std::function<std::optional<QUrl>(QWidget *parent, const QString &message)>;
