#include "SyncCheck.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// Offsets below this are not heard and not worth a change to the mux.
constexpr double smallestCorrection = 0.04;
// Start and end offsets further apart than this mean the releases are cut differently.
constexpr double steadyTolerance = 0.1;

// Two decimals with a point; a value that rounds to zero never reads "-0.00".
QString seconds(double value)
{
    const double rounded = std::round(value * 100) / 100;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 2);
}

SyncVerdict unsure(const QString &label)
{
    return {AnalysisIssue(AnalysisIssueSeverity::information,
                          label + u": Der Tonversatz ließ sich nicht sicher bestimmen."_s),
            std::nullopt};
}

} // namespace

SyncVerdict judgeSync(const QString &label, const SyncMeasurement &measurement)
{
    if (!measurement.early || !measurement.early->isConfident)
        return unsure(label);
    const double start = measurement.early->offsetSeconds;

    // Only a confident end can contradict the start. An unsure end (quiet credits, a window
    // too short, a cut inside it) adds nothing, and the start alone decides as it does for
    // an episode too short for a late window.
    if (measurement.late && measurement.late->isConfident) {
        const double end = measurement.late->offsetSeconds;
        if (std::abs(end - start) > steadyTolerance) {
            return {
                AnalysisIssue(AnalysisIssueSeverity::warning,
                              label + u": Der Versatz der deutschen Tonspur ändert sich im Lauf "
                                      u"der Folge (Anfang %1 Sekunden, Ende %2 Sekunden); die "
                                      u"Fassungen sind unterschiedlich geschnitten."_s.arg(
                                          seconds(start), seconds(end))),
                std::nullopt};
        }
    }
    if (std::abs(start) < smallestCorrection)
        return {};
    return {AnalysisIssue(AnalysisIssueSeverity::warning,
                          label + u": Die deutsche Tonspur ist um %1 Sekunden verschoben; wird "
                                  u"beim Muxen ausgeglichen."_s.arg(seconds(std::abs(start)))),
            start};
}
