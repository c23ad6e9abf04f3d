// What a sync measurement means for the user: the verdict and its German findings.
#include "SyncCheck.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// Ten minutes of material more or less is another edit of the episode, not a cut to repair.
constexpr double longestPlausibleCut = 600;

// Two decimals with a point; a value that rounds to zero never reads "-0.00".
QString seconds(double value)
{
    const double rounded = std::round(value * 100) / 100;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 2);
}

// Film time as the remaining-time display writes minutes: "6:00 min".
QString filmTime(double seconds)
{
    const long long whole = std::llround(std::max(0.0, seconds));
    return u"%1:%2 min"_s.arg(whole / 60).arg(whole % 60, 2, 10, QChar(u'0'));
}

AnalysisIssue warning(const QString &label, const QString &text)
{
    return AnalysisIssue(AnalysisIssueSeverity::warning, label + u": "_s + text);
}

// Why the cuts cannot be repaired, if they cannot: one not found to the frame would be
// spliced in the wrong place, and a jump of many minutes is no cut of one scene. Later jumps
// build on earlier ones, so one such jump leaves all of them as they are.
std::optional<AnalysisIssue> refusedRepair(const QString &label, const QList<SyncJump> &cuts)
{
    for (const SyncJump &jump : cuts) {
        const double length = std::abs(jump.toLagSeconds - jump.fromLagSeconds);
        if (length > longestPlausibleCut)
            return AnalysisIssue(
                AnalysisIssueSeverity::information,
                label + u": Der Sprung bei etwa %1 ist mit %2 Sekunden zu groß für einen Schnitt; "
                        u"die Schnitte werden nicht ausgeglichen."_s.arg(filmTime(jump.englishSeconds),
                                                                        seconds(length)));
        if (!jump.located)
            return AnalysisIssue(
                AnalysisIssueSeverity::information,
                label + u": Der Schnitt bei etwa %1 ließ sich nicht sicher orten; die Schnitte "
                        u"werden nicht ausgeglichen."_s.arg(filmTime(jump.englishSeconds)));
    }
    return std::nullopt;
}

QList<SyncCut> cutsOf(const QList<SyncJump> &jumps)
{
    QList<SyncCut> cuts;
    for (const SyncJump &jump : jumps)
        cuts << SyncCut{jump.englishSeconds, jump.fromLagSeconds, jump.toLagSeconds};
    return cuts;
}

} // namespace

SyncVerdict judgeSync(const QString &label, const SyncMeasurement &measurement)
{
    SyncVerdict verdict{assessSync(measurement)};
    const SyncAssessment &found = verdict.assessment;
    QList<AnalysisIssue> &findings = verdict.findings;
    switch (found.pattern) {
    case SyncPattern::inSync:
        break;
    case SyncPattern::constant:
        findings << warning(
            label,
            u"Die deutsche Tonspur läuft %1 Sekunden %2; wird beim Muxen ausgeglichen."_s.arg(
                seconds(std::abs(found.offsetSeconds)),
                found.offsetSeconds > 0 ? u"zu spät"_s : u"zu früh"_s));
        verdict.correction = SyncCorrection{found.offsetSeconds};
        break;
    case SyncPattern::cut:
        for (const SyncJump &jump : found.cuts)
            findings << warning(
                label,
                u"Der Versatz der deutschen Tonspur springt bei etwa %1 von %2 auf %3 Sekunden; "
                u"die Fassungen sind unterschiedlich geschnitten."_s.arg(
                    filmTime(jump.englishSeconds), seconds(jump.fromLagSeconds),
                    seconds(jump.toLagSeconds)));
        verdict.correction = SyncCorrection{found.fromSeconds};
        if (found.unsplicedOffsetSeconds != found.fromSeconds)
            verdict.correction->unsplicedOffsetSeconds = found.unsplicedOffsetSeconds;
        if (const std::optional<AnalysisIssue> refused = refusedRepair(label, found.cuts))
            findings << *refused;
        else
            verdict.correction->cuts = cutsOf(found.cuts);
        break;
    case SyncPattern::drift:
        findings << warning(
            label,
            u"Der Versatz der deutschen Tonspur ändert sich gleichmäßig von %1 auf %2 Sekunden; "
            u"die Geschwindigkeiten der Fassungen passen nicht zusammen; wird beim Muxen "
            u"ausgeglichen."_s.arg(seconds(found.fromSeconds), seconds(found.toSeconds)));
        verdict.correction = SyncCorrection{found.fromSeconds, found.driftPerSecond};
        break;
    case SyncPattern::unsure:
        findings << AnalysisIssue(AnalysisIssueSeverity::information,
                                  label + u": Der Tonversatz ließ sich nicht sicher bestimmen."_s);
        break;
    }
    if (measurement.stretchHeard && found.pattern != SyncPattern::unsure) {
        findings.prepend(AnalysisIssue(AnalysisIssueSeverity::information,
                                       label + u": PAL-Speedup am Ton erkannt (die Laufzeiten "
                                               u"allein zeigen es nicht); wird beim Muxen "
                                               u"korrigiert."_s));
        if (!verdict.correction)
            verdict.correction = SyncCorrection{};
        verdict.correction->palSpeedHeard = true;
    }
    return verdict;
}
