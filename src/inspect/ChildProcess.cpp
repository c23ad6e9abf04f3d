#include "ChildProcess.h"

#include "MKVInspectorError.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

// mkvmerge in JSON mode puts its error messages into the report ("errors": […]) and leaves
// standard error empty; without them the user would learn nothing about the failure.
QString errorsReportedInJson(const QByteArray &standardOutput)
{
    const QJsonArray errors =
        QJsonDocument::fromJson(standardOutput).object().value(u"errors").toArray();
    QString text;
    for (const QJsonValue &error : errors)
        text += error.toString();
    return text;
}

} // namespace

ChildOutcome runChild(const QString &program, const QStringList &arguments,
                      StandardError standardError, const AbandonFlag *abandon)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(standardError == StandardError::forward
                                      ? QProcess::ForwardedErrorChannel
                                      : QProcess::SeparateChannels);
    process.start();

    ChildOutcome outcome;
    if (!process.waitForStarted(-1)) {
        outcome.errorString = process.errorString();
        return outcome;
    }
    outcome.started = true;
    // Reads both pipes into QProcess's buffers until the child has ended.
    while (!process.waitForFinished(abandon ? 50 : -1)) {
        if (abandon && abandon->load()) {
            process.kill();
            process.waitForFinished(-1);
            break;
        }
    }
    outcome.crashed = process.exitStatus() == QProcess::CrashExit;
    outcome.exitCode = process.exitCode();
    if (outcome.crashed)
        outcome.errorString = process.errorString();
    outcome.standardOutput = process.readAllStandardOutput();
    if (standardError == StandardError::capture)
        outcome.standardError = process.readAllStandardError();
    return outcome;
}

QByteArray runTool(const QString &program, const QStringList &arguments, const AbandonFlag *abandon)
{
    ChildOutcome outcome = runChild(program, arguments, StandardError::capture, abandon);
    if (!outcome.started)
        throw PlatformError(outcome.errorString);
    if (!outcome.crashed && outcome.exitCode == 0)
        return std::move(outcome.standardOutput);

    QString message = QString::fromUtf8(outcome.standardError);
    if (message.trimmed().isEmpty())
        message += errorsReportedInJson(outcome.standardOutput);
    // A child killed by a signal often says nothing; QProcess's own text then says what happened.
    if (outcome.crashed && message.isEmpty())
        message = outcome.errorString;
    throw MKVInspectorError::failed(std::move(message));
}

QString toolFileArgument(const QUrl &file)
{
    const QString path = file.toLocalFile();
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::current().absoluteFilePath(path);
}
