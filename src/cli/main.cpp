// spurenflechter-cli: the analysis and the mux run of the window, for machines without a
// display and for scripts.

#include "CliArguments.h"
#include "CliRun.h"

#include "model/FolderConflicts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

namespace {

constexpr int exitUsageError = 2;

int usageError(const QString &message)
{
    QTextStream(stderr) << message << u'\n' << QStringLiteral("Hilfe: spurenflechter-cli --help\n");
    return exitUsageError;
}

// The folder at `path` as a file URL, or the reason it cannot be used. The output folder must
// be writable as well.
std::optional<QUrl> folderUrl(const QString &path, bool forWriting, QString &error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("Ordner nicht gefunden: %1").arg(path);
        return std::nullopt;
    }
    if (!info.isDir()) {
        error = QStringLiteral("Kein Ordner: %1").arg(path);
        return std::nullopt;
    }
    // An unreadable folder would look empty and turn every partner into a missing file.
    if (!info.isReadable() || !info.isExecutable()) {
        error = QStringLiteral("Ordner nicht lesbar: %1").arg(path);
        return std::nullopt;
    }
    if (forWriting && !info.isWritable()) {
        error = QStringLiteral("Ausgabeordner nicht beschreibbar: %1").arg(path);
        return std::nullopt;
    }
    return QUrl::fromLocalFile(info.absoluteFilePath());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const CliParseResult parsed = parseCliArguments(app.arguments().mid(1));
    if (!parsed.arguments)
        return usageError(parsed.error);
    const CliArguments &arguments = *parsed.arguments;
    if (arguments.command == CliArguments::Command::help) {
        QTextStream(stdout) << usageText();
        return 0;
    }

    QList<QUrl> folders;
    for (qsizetype i = 0; i < arguments.folders.size(); ++i) {
        QString error;
        const std::optional<QUrl> folder = folderUrl(arguments.folders.at(i), i == 2, error);
        if (!folder)
            return usageError(error);
        folders << *folder;
    }
    std::optional<QString> conflict = sameSourceFolders(folders.at(0), folders.at(1));
    if (!conflict && folders.size() > 2)
        conflict = outputAmongSources(folders.at(2), folders.mid(0, 2));
    if (conflict)
        return usageError(*conflict);

    CliRun run(arguments, folders.at(0), folders.at(1),
               folders.size() > 2 ? std::optional(folders.at(2)) : std::nullopt);
    QObject::connect(&run, &CliRun::finished, &app, &QCoreApplication::exit);
    run.start();
    return app.exec();
}
