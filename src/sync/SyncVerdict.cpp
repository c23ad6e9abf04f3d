// What a sync measurement means for the user: the verdict and its German findings.
#include "SyncCheck.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

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

} // namespace

SyncVerdict judgeSync(const QString &label, const SyncMeasurement &measurement)
{
    SyncVerdict verdict{assessSync(measurement)};
    const SyncAssessment &found = verdict.assessment;
    switch (found.pattern) {
    case SyncPattern::inSync:
        break;
    case SyncPattern::constant:
        verdict.finding = warning(
            label,
            u"Die deutsche Tonspur läuft %1 Sekunden %2; wird beim Muxen ausgeglichen."_s.arg(
                seconds(std::abs(found.offsetSeconds)),
                found.offsetSeconds > 0 ? u"zu spät"_s : u"zu früh"_s));
        verdict.correction = SyncCorrection{found.offsetSeconds};
        break;
    case SyncPattern::cut:
        verdict.finding = warning(
            label,
            u"Der Versatz der deutschen Tonspur springt bei etwa %1 von %2 auf %3 Sekunden; "
            u"die Fassungen sind unterschiedlich geschnitten."_s.arg(
                filmTime(found.cutSeconds), seconds(found.fromSeconds), seconds(found.toSeconds)));
        break;
    case SyncPattern::drift:
        verdict.finding = warning(
            label, u"Der Versatz der deutschen Tonspur ändert sich gleichmäßig von %1 auf %2 "
                   u"Sekunden; die Geschwindigkeiten der Fassungen passen nicht zusammen."_s.arg(
                       seconds(found.fromSeconds), seconds(found.toSeconds)));
        break;
    case SyncPattern::unsure:
        verdict.finding =
            AnalysisIssue(AnalysisIssueSeverity::information,
                          label + u": Der Tonversatz ließ sich nicht sicher bestimmen."_s);
        break;
    }
    return verdict;
}
