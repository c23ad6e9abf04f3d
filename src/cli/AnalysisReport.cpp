// The analysis report of the command line: pair rows, issue lines, and the JSON form.
#include "AnalysisReport.h"

#include "media/Naming.h"
#include "media/PairReadability.h"
#include "PlanReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// File names and tool messages may hold tabs and line breaks; in the report they would break
// the five fields of a row or start a line that looks like an issue of its own.
QString singleLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            c = u' ';
    }
    return line;
}

QString nameOrDash(const std::optional<MediaFile> &file)
{
    return file ? singleLine(fileNameOf(file->url)) : QStringLiteral("–");
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

QString patternName(SyncPattern pattern)
{
    switch (pattern) {
    case SyncPattern::inSync:
        return QStringLiteral("inSync");
    case SyncPattern::constant:
        return QStringLiteral("constant");
    case SyncPattern::cut:
        return QStringLiteral("cut");
    case SyncPattern::drift:
        return QStringLiteral("drift");
    case SyncPattern::unsure:
        return QStringLiteral("unsure");
    }
    Q_UNREACHABLE();
    return {};
}

QJsonArray segmentsJson(const SyncMeasurement &measurement, const SyncAssessment &assessment)
{
    QJsonArray segments;
    for (qsizetype i = 0; i < measurement.segments.size(); ++i) {
        const SyncSegment &segment = measurement.segments.at(i);
        segments.append(
            QJsonObject{{QStringLiteral("start"), segment.startSeconds},
                        {QStringLiteral("length"), segment.lengthSeconds},
                        {QStringLiteral("lag"),
                         segment.lagSeconds ? QJsonValue(*segment.lagSeconds) : QJsonValue::Null},
                        {QStringLiteral("score"), segment.score},
                        {QStringLiteral("trusted"), assessment.trusted.value(i)}});
    }
    return segments;
}

QJsonValue pitchJson(const QHash<QString, PairSyncCheck> &checks, const QString &pairID)
{
    const auto check = checks.constFind(pairID);
    if (check == checks.cend())
        return QJsonValue::Null;
    static const QHash<PitchKind, QString> verdicts{
        {PitchKind::raised, QStringLiteral("raised")},
        {PitchKind::corrected, QStringLiteral("corrected")},
        {PitchKind::unsure, QStringLiteral("unsure")}};
    const std::optional<double> semitones = check->pitch.semitones;
    return QJsonObject{
        {QStringLiteral("semitones"), semitones ? QJsonValue(*semitones) : QJsonValue::Null},
        {QStringLiteral("verdict"), verdicts.value(check->pitch.kind)}};
}

QJsonValue syncCheckJson(const QHash<QString, PairSyncCheck> &checks, const QString &pairID)
{
    const auto check = checks.constFind(pairID);
    if (check == checks.cend())
        return QJsonValue::Null; // not a ready pair with both inspections
    const SyncAssessment &assessment = check->verdict.assessment;
    const std::optional<double> correction =
        check->verdict.correction ? std::optional(check->verdict.correction->offsetWithoutSplices())
                                  : std::nullopt;
    QJsonObject json{{QStringLiteral("segments"), segmentsJson(check->measurement, assessment)},
                     {QStringLiteral("verdict"), patternName(assessment.pattern)},
                     {QStringLiteral("cut"), QJsonValue::Null},
                     {QStringLiteral("drift"), QJsonValue::Null},
                     {QStringLiteral("correctionSeconds"),
                      correction ? QJsonValue(*correction) : QJsonValue::Null}};
    QJsonArray cuts;
    for (const SyncJump &jump : assessment.cuts)
        cuts.append(QJsonObject{{QStringLiteral("time"), jump.englishSeconds},
                                {QStringLiteral("from"), jump.fromLagSeconds},
                                {QStringLiteral("to"), jump.toLagSeconds},
                                {QStringLiteral("located"), jump.located}});
    json[QStringLiteral("cuts")] = cuts;
    if (!cuts.isEmpty())
        json[QStringLiteral("cut")] = cuts.first();
    json[QStringLiteral("stretch")] = check->measurement.localizedStretch;
    json[QStringLiteral("stretchHeard")] = check->measurement.stretchHeard;
    if (assessment.pattern == SyncPattern::drift)
        json[QStringLiteral("drift")] =
            QJsonObject{{QStringLiteral("start"), assessment.fromSeconds},
                        {QStringLiteral("end"), assessment.toSeconds},
                        {QStringLiteral("perSecond"), assessment.driftPerSecond}};
    return json;
}

QJsonValue resultCheckJson(const QHash<QString, ResultCheck> &checks, const QString &pairID)
{
    const auto check = checks.constFind(pairID);
    if (check == checks.cend())
        return QJsonValue::Null; // not muxed, or not checked by the analysis
    const std::optional<double> &deviation = check->largestDeviationSeconds;
    return QJsonObject{
        {QStringLiteral("segments"), segmentsJson(check->measurement, check->assessment)},
        {QStringLiteral("largestDeviation"), deviation ? QJsonValue(*deviation) : QJsonValue::Null},
        {QStringLiteral("deviationTime"),
         deviation ? QJsonValue(check->deviationAtSeconds) : QJsonValue::Null}};
}

} // namespace

QString analysisReportText(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues,
                           const QHash<QUrl, MediaInspection> *inspections,
                           const QHash<QString, PairPlanOutcome> *plans)
{
    QString text;
    for (const EpisodePair &pair : pairs) {
        text +=
            QStringList{episodeLabel(pair), nameOrDash(pair.primary), nameOrDash(pair.localized),
                        singleLine(outputFileName(pair)), pairStatusText(pair, inspections)}
                .join(u'\t');
        text += u'\n';
    }
    text += u'\n';
    for (const EpisodePair &pair : pairs) {
        if (plans && plans->contains(pair.id))
            text += planText(episodeLabel(pair), plans->value(pair.id)) + u'\n';
    }
    for (const AnalysisIssue &issue : issues)
        text += singleLine(issueLine(issue).trimmed()) + u'\n';
    return text;
}

QByteArray analysisReportJson(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues,
                              bool complete, const QHash<QString, PairSyncCheck> *syncChecks,
                              const QHash<QUrl, MediaInspection> *inspections,
                              const QHash<QString, PairPlanOutcome> *plans,
                              const QHash<QString, ResultCheck> *resultChecks)
{
    QJsonArray pairArray;
    for (const EpisodePair &pair : pairs) {
        QJsonObject pairObject{{QStringLiteral("id"), pair.id},
                               {QStringLiteral("label"), episodeLabel(pair)},
                               {QStringLiteral("episode"), episodeJson(pair.episodeID)},
                               {QStringLiteral("primary"), fileJson(pair.primary)},
                               {QStringLiteral("localized"), fileJson(pair.localized)},
                               {QStringLiteral("outputFileName"), outputFileName(pair)},
                               {QStringLiteral("status"), pairStatusText(pair, inspections)}};
        // The status is the table's German text; scripts tell an unreadable pair by this.
        if (inspections && isUnreadable(pair, *inspections))
            pairObject.insert(QStringLiteral("unreadable"), true);
        if (syncChecks) {
            pairObject.insert(QStringLiteral("syncCheck"), syncCheckJson(*syncChecks, pair.id));
            pairObject.insert(QStringLiteral("pitch"), pitchJson(*syncChecks, pair.id));
        }
        if (plans && plans->contains(pair.id)) {
            const PairPlanOutcome plan = plans->value(pair.id);
            pairObject.insert(QStringLiteral("plan"), planJson(plan));
            if (!plan.description)
                pairObject.insert(QStringLiteral("planError"), plan.error);
        }
        if (resultChecks)
            pairObject.insert(QStringLiteral("resultCheck"),
                              resultCheckJson(*resultChecks, pair.id));
        pairArray.append(pairObject);
    }
    QJsonArray issueArray;
    for (const AnalysisIssue &issue : issues) {
        issueArray.append(QJsonObject{{QStringLiteral("severity"), severityName(issue.severity)},
                                      {QStringLiteral("message"), issue.message}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("complete"), complete},
                                     {QStringLiteral("pairs"), pairArray},
                                     {QStringLiteral("issues"), issueArray}})
        .toJson(QJsonDocument::Indented);
}
