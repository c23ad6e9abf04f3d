// The folder for short-lived files, and private folders in it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// The folder for the program's short-lived files (option files, extracted subtitles).
struct TemporaryFolder {
    QString path;    // empty when no folder is usable
    QString problem; // then the German reason, naming the folder

    // `path` joined with `name`; empty when there is no usable folder, so that no file is
    // ever placed at the root.
    QString filePath(const QString &name) const;
};

// `tmpdir` (the value of TMPDIR) when it names a writable folder, else `fallback`.
TemporaryFolder findTemporaryFolder(const QByteArray &tmpdir,
                                    const QString &fallback = QStringLiteral("/tmp"));

// The folder found from this process's TMPDIR, once, at the first call.
const TemporaryFolder &temporaryFolder();

// The QTemporaryDir template for a private folder in the temporary folder, its name telling
// what it holds (`purpose`: "subtitle", "audio"); absent when there is no usable one
// (QTemporaryDir would take an empty template for its default one).
std::optional<QString> privateFolderTemplate(const QString &purpose);

// The private folder template for extracted subtitle files.
std::optional<QString> subtitleFolderTemplate();

// A new private folder for subtitle files, removed with the pointer; null when none can be made.
std::unique_ptr<QTemporaryDir> newSubtitleFolder();
