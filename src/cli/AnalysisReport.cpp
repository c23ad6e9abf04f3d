#include "AnalysisReport.h"

#include "media/Naming.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A file name may hold tabs and line breaks; in the table they would break the five fields.
QString tableField(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

QString nameOrDash(const std::optional<MediaFile> &file)
{
    return file ? tableField(fileNameOf(file->url)) : QStringLiteral("–");
}

QJsonValue episodeJson(const std::optional<EpisodeID> &episode)
{
    if (!episode)
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("season"), episode->season},
                       {QStringLiteral("episode"), episode->episode}};
}

QJsonValue fileJson(const std::optional<MediaFile> &file)
{
    if (!file)
        return QJsonValue::Null;
    QJsonArray subtitles;
    for (const QUrl &subtitle : file->sidecarSubtitles)
        subtitles.append(subtitle.toLocalFile());
    return QJsonObject{{QStringLiteral("path"), file->url.toLocalFile()},
                       {QStringLiteral("fileName"), fileNameOf(file->url)},
                       {QStringLiteral("source"), rawValue(file->source)},
                       {QStringLiteral("episode"), episodeJson(file->episodeID)},
                       {QStringLiteral("sidecarSubtitles"), subtitles}};
}

QString severityName(AnalysisIssueSeverity severity)
{
    switch (severity) {
    case AnalysisIssueSeverity::information:
        return QStringLiteral("information");
    case AnalysisIssueSeverity::warning:
        return QStringLiteral("warning");
    case AnalysisIssueSeverity::error:
        return QStringLiteral("error");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace

QString issueLine(const AnalysisIssue &issue)
{
    switch (issue.severity) {
    case AnalysisIssueSeverity::information:
        return QStringLiteral("[Hinweis] ") + issue.message;
    case AnalysisIssueSeverity::warning:
        return QStringLiteral("[Warnung] ") + issue.message;
    case AnalysisIssueSeverity::error:
        return QStringLiteral("[Fehler] ") + issue.message;
    }
    Q_UNREACHABLE();
    return {};
}

QString analysisReportText(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues)
{
    QString text;
    for (const EpisodePair &pair : pairs) {
        text += QStringList{episodeLabel(pair), nameOrDash(pair.primary),
                            nameOrDash(pair.localized), outputFileName(pair), rawValue(pair.status)}
                    .join(u'\t');
        text += u'\n';
    }
    text += u'\n';
    for (const AnalysisIssue &issue : issues)
        text += issueLine(issue) + u'\n';
    return text;
}

QByteArray analysisReportJson(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues)
{
    QJsonArray pairArray;
    for (const EpisodePair &pair : pairs) {
        pairArray.append(QJsonObject{{QStringLiteral("id"), pair.id},
                                     {QStringLiteral("label"), episodeLabel(pair)},
                                     {QStringLiteral("episode"), episodeJson(pair.episodeID)},
                                     {QStringLiteral("primary"), fileJson(pair.primary)},
                                     {QStringLiteral("localized"), fileJson(pair.localized)},
                                     {QStringLiteral("outputFileName"), outputFileName(pair)},
                                     {QStringLiteral("status"), rawValue(pair.status)}});
    }
    QJsonArray issueArray;
    for (const AnalysisIssue &issue : issues) {
        issueArray.append(QJsonObject{{QStringLiteral("severity"), severityName(issue.severity)},
                                      {QStringLiteral("message"), issue.message}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("pairs"), pairArray},
                                     {QStringLiteral("issues"), issueArray}})
        .toJson(QJsonDocument::Indented);
}
