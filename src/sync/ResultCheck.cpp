// Measuring a muxed file's two languages against each other, and what the lags say.
#include "ResultCheck.h"

#include "analysis/LanguageCodes.h"
#include "analysis/TrackSelection.h"
#include "CutLocation.h"
#include "inspect/MKVInspector.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// What an ear barely notices; the same agreement the segments of one offset keep.
constexpr double allowedDeviation = 0.05;

QString seconds(double value)
{
    return QString::number(std::round(value * 100) / 100, 'f', 2);
}

QString filmTime(double seconds)
{
    const long long whole = std::llround(std::max(0.0, seconds));
    return u"%1:%2 min"_s.arg(whole / 60).arg(whole % 60, 2, 10, QChar(u'0'));
}

// The output's first audio track of `language` as a position among its audio tracks. The mux
// tags every audio track it writes as English or German.
std::optional<int> firstAudioOf(const MediaInspection &inspection, LanguageClass language)
{
    for (const MediaTrack &track : inspection.tracks) {
        if (track.type == TrackType::audio && classifyLanguage(track) == language)
            return audioIndexOf(track, inspection);
    }
    return std::nullopt;
}

} // namespace

QList<SyncJump> edgeJumps(const SyncMeasurement &measurement)
{
    const SyncAssessment assessment = assessSync(measurement);
    if (assessment.pattern != SyncPattern::cut)
        return {};
    const SyncSegment &first = measurement.segments.first();
    const SyncSegment &last = measurement.segments.last();
    QList<SyncJump> jumps;
    for (const SyncJump &jump : assessment.cuts) {
        if (jump.earliestSeconds <= first.startSeconds ||
            jump.latestSeconds >= last.startSeconds + last.lengthSeconds)
            jumps << jump;
    }
    return jumps;
}

ResultCheck judgeResult(const QString &label, const SyncMeasurement &measurement)
{
    ResultCheck check{measurement, assessSync(measurement)};
    for (qsizetype i = 0; i < measurement.segments.size(); ++i) {
        const SyncSegment &segment = measurement.segments.at(i);
        if (!check.assessment.trusted.value(i) || !segment.lagSeconds)
            continue;
        const double deviation = std::abs(*segment.lagSeconds);
        if (!check.largestDeviationSeconds || deviation > *check.largestDeviationSeconds) {
            check.largestDeviationSeconds = deviation;
            check.deviationAtSeconds = segment.startSeconds + segment.lengthSeconds / 2;
        }
    }
    const QString prefix = label + u": "_s;
    if (!check.largestDeviationSeconds)
        check.finding = AnalysisIssue(
            AnalysisIssueSeverity::information,
            prefix + u"Der Tonversatz im Ergebnis ließ sich nicht sicher bestimmen."_s);
    else if (*check.largestDeviationSeconds <= allowedDeviation)
        check.finding = AnalysisIssue(
            AnalysisIssueSeverity::information,
            prefix + u"Tonversatz im Ergebnis geprüft: höchstens %1 Sekunden Abweichung."_s.arg(
                         seconds(*check.largestDeviationSeconds)));
    else
        check.finding = AnalysisIssue(
            AnalysisIssueSeverity::warning,
            prefix +
                u"Im Ergebnis weicht die deutsche Tonspur bei etwa %1 um %2 Sekunden ab."_s.arg(
                    filmTime(check.deviationAtSeconds), seconds(*check.largestDeviationSeconds)));
    return check;
}

std::optional<ResultCheck> checkResult(const QString &label, const QUrl &output,
                                       const ToolLocations &tools, const StopFlag *stop,
                                       const SyncSegmentLayout &layout)
{
    const MKVInspector inspector(tools);
    SyncMeasurement measurement;
    try {
        const MediaInspection inspection = inspector.inspect(output);
        const std::optional<int> english = firstAudioOf(inspection, LanguageClass::english);
        const std::optional<int> german = firstAudioOf(inspection, LanguageClass::german);
        const std::optional<QUrl> ffmpeg = inspector.discovery().locateFfmpeg();
        if (english && german && inspection.duration && ffmpeg) {
            SyncCheckOptions options;
            options.ffmpeg = ffmpeg->toLocalFile();
            options.stop = stop;
            options.comparePitch = false; // the output's pitch is not in question here
            const SyncSource englishAudio{output, *english, *inspection.duration};
            const SyncSource germanAudio{output, *german, *inspection.duration};
            measurement = measureSync(englishAudio, germanAudio, options, layout);
            if (const QList<SyncJump> edges = edgeJumps(measurement); !edges.isEmpty()) {
                measurement.cutLocations =
                    locateCuts(englishAudio, germanAudio, options, {.cuts = edges});
                measurement.cutsSought = true;
            }
        }
    } catch (...) {
        // An unreadable output is judged like one without the tracks: nothing measured.
    }
    if (stop && stop->load())
        return std::nullopt;
    return judgeResult(label, measurement);
}
