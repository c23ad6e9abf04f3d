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
    const ChildRequest request{program, arguments, ChildOutput::separate, stop};
    ChildOutcome outcome = runChild(request);
    if (!outcome.started)
        throw PlatformError(outcome.errorString);
    if (outcome.succeeded())
        return std::move(outcome.standardOutput);

    QString message = QString::fromUtf8(outcome.standardError);
    if (message.trimmed().isEmpty())
        message += errorsReportedInJson(outcome.standardOutput);
    throw MKVInspectorError::failed(withEndingSignal(message, request, outcome));
}
