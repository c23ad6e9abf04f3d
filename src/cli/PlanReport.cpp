// A pair's planned output as the command line's `plan` prints it.
#include "PlanReport.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace {

QJsonValue optionalJson(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue::Null;
}

QJsonObject trackJson(const PlannedTrack &track)
{
    const PlannedSource &source = track.source;
    QJsonObject sourceObject{{u"folder"_s, source.folder}, {u"fileName"_s, source.fileName}};
    if (source.trackID)
        sourceObject.insert(u"trackId"_s, *source.trackID);
    else
        sourceObject.insert(u"sidecar"_s, true);
    const PlannedTiming &timing = track.timing;
    QJsonArray splices;
    for (const SyncCut &cut : timing.repairSplices)
        splices.append(QJsonObject{{u"time"_s, cut.englishSeconds},
                                   {u"from"_s, cut.fromLagSeconds},
                                   {u"to"_s, cut.toLagSeconds}});
    QJsonValue conversion = QJsonValue::Null;
    if (track.conversion)
        conversion = QJsonObject{
            {u"kind"_s, track.conversion->kind},
            {u"codec"_s, track.conversion->codec ? QJsonValue(*track.conversion->codec)
                                                 : QJsonValue::Null},
            {u"kilobitsPerSecond"_s, track.conversion->kilobitsPerSecond
                                         ? QJsonValue(*track.conversion->kilobitsPerSecond)
                                         : QJsonValue::Null}};
    return QJsonObject{
        {u"type"_s, rawValue(track.type)},
        {u"language"_s, track.language},
        {u"name"_s, track.name ? QJsonValue(*track.name) : QJsonValue::Null},
        {u"default"_s, track.isDefault},
        {u"forced"_s, track.isForced},
        {u"source"_s, sourceObject},
        {u"timing"_s, QJsonObject{{u"stretchFactor"_s, optionalJson(timing.stretchFactor)},
                                  {u"offsetSeconds"_s, timing.offsetSeconds},
                                  {u"driftFactor"_s, optionalJson(timing.driftFactor)},
                                  {u"repairSplices"_s, splices}}},
        {u"conversion"_s, conversion}};
}

} // namespace

QString planText(const QString &label, const PairPlanOutcome &outcome)
{
    if (!outcome.description)
        return label + u": wird nicht gemuxt: "_s + outcome.error + u'\n';
    const PairPlanDescription &plan = *outcome.description;
    QString text = label + u" → "_s + plan.outputFileName + u'\n';
    for (qsizetype i = 0; i < plan.tracks.size(); ++i) {
        const PlannedTrack &track = plan.tracks.at(i);
        text += u"  "_s +
                QStringList{QString::number(i + 1), plannedTypeText(track.type), track.language,
                            track.name.value_or(u"–"_s), plannedFlagsText(track),
                            plannedSourceText(track.source), plannedTimingText(track.timing),
                            u"Umwandlung: "_s + plannedConversionText(track.conversion)}
                    .join(u'\t') +
                u'\n';
    }
    return text;
}

QJsonValue planJson(const PairPlanOutcome &outcome)
{
    if (!outcome.description)
        return QJsonValue::Null;
    const PairPlanDescription &plan = *outcome.description;
    QJsonArray tracks;
    for (const PlannedTrack &track : plan.tracks)
        tracks.append(trackJson(track));
    return QJsonObject{{u"outputFileName"_s, plan.outputFileName},
                       {u"tracks"_s, tracks},
                       {u"mkvmergeArguments"_s, QJsonArray::fromStringList(plan.mkvmergeArguments)}};
}
