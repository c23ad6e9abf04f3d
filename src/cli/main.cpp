// spurenflechter-cli: the analysis of the window, for machines without a display and for scripts.

#include "AnalysisReport.h"
#include "CliArguments.h"
#include "model/AppModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>

namespace {

constexpr int exitUsageError = 2;

int usageError(const QString &message)
{
    QTextStream(stderr) << message << u'\n' << QStringLiteral("Hilfe: spurenflechter-cli --help\n");
    return exitUsageError;
}

std::optional<QUrl> folderUrl(const QString &path, QString &error)
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

    QString error;
    const std::optional<QUrl> primary = folderUrl(arguments.folders.at(0), error);
    const std::optional<QUrl> localized =
        primary ? folderUrl(arguments.folders.at(1), error) : std::nullopt;
    if (!primary || !localized)
        return usageError(error);

    AppModel model;
    model.setPrimaryFolder(primary);
    model.setLocalizedFolder(localized);
    QObject::connect(&model, &AppModel::analysisFinished, &app, [&] {
        if (arguments.json) {
            QFile out;
            out.open(stdout, QIODevice::WriteOnly);
            out.write(analysisReportJson(model.pairs(), model.issues()));
        } else {
            QTextStream(stdout) << analysisReportText(model.pairs(), model.issues());
        }
        const bool failed = std::any_of(model.issues().cbegin(), model.issues().cend(),
                                        [](const AnalysisIssue &issue) {
                                            return issue.severity == AnalysisIssueSeverity::error;
                                        });
        app.exit(failed ? 1 : 0);
    });
    // Started from the event loop, so that exit() after a run without files is not lost.
    QMetaObject::invokeMethod(&model, &AppModel::analyze, Qt::QueuedConnection);
    return app.exec();
}
