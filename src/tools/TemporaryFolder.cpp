// The folder for short-lived files, and private folders in it.
#include "TemporaryFolder.h"

#include "TemporaryNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

bool isWritableFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isWritable() && info.isExecutable();
}

} // namespace

QString TemporaryFolder::filePath(const QString &name) const
{
    return path.isEmpty() ? QString() : QDir(path).filePath(name);
}

TemporaryFolder findTemporaryFolder(const QByteArray &tmpdir, const QString &fallback)
{
    // A relative TMPDIR is taken from the working folder at start, not from wherever the
    // process is later.
    const QString wanted =
        tmpdir.isEmpty() ? QString() : QFileInfo(QFile::decodeName(tmpdir)).absoluteFilePath();
    for (const QString &candidate : {wanted, fallback}) {
        if (!candidate.isEmpty() && isWritableFolder(candidate))
            return {QDir::cleanPath(candidate), {}};
    }
    return {{},
            u"Der temporäre Ordner ist nicht beschreibbar: "_s +
                (wanted.isEmpty() ? fallback : wanted)};
}

const TemporaryFolder &temporaryFolder()
{
    static const TemporaryFolder folder = findTemporaryFolder(qgetenv("TMPDIR"));
    return folder;
}

std::optional<QString> privateFolderTemplate(const QString &purpose)
{
    const QString path = temporaryFolder().filePath(hiddenTemporaryName(u'-' + purpose + u"-XXXXXX"_s));
    return path.isEmpty() ? std::nullopt : std::optional(path);
}

std::optional<QString> subtitleFolderTemplate()
{
    return privateFolderTemplate(u"subtitle"_s);
}

std::unique_ptr<QTemporaryDir> newSubtitleFolder()
{
    const std::optional<QString> folderTemplate = subtitleFolderTemplate();
    if (!folderTemplate)
        return nullptr;
    auto folder = std::make_unique<QTemporaryDir>(*folderTemplate);
    return folder->isValid() ? std::move(folder) : nullptr;
}
