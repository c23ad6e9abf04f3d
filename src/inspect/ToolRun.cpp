// Runs an inspection tool and turns its failure into an inspection error.
#include "ToolRun.h"

#include "MKVInspectorError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

QByteArray runTool(const QString &program, const QStringList &arguments, const StopFlag *stop)
{
    ChildOutcome outcome = runChild({program, arguments, ChildOutput::separate, stop});
    if (outcome.succeeded())
        return std::move(outcome.standardOutput);
    if (!outcome.started)
        throw PlatformError(outcome.exitMessage());
    if (outcome.standardError.trimmed().isEmpty())
        outcome.standardError += errorsReportedInJson(outcome.standardOutput).toUtf8();
    throw MKVInspectorError::failed(outcome.exitMessage());
}
