// Reading the segments' lags together: one offset, jumps at cuts, steady drift, or unsure.
#include "SyncCheck.h"

#include <algorithm>
#include <cmath>

namespace {

// Lags of one offset measured in different segments lie this close together: a match is
// refined to a few milliseconds, and 0.05 s is what an ear barely notices.
constexpr double agreement = 0.05;
// Segments that must agree before an offset is believed. Unrelated audio puts each segment's
// best match anywhere within ±30 s, so three landing within 0.05 s is rare chance.
constexpr int fewestAgreeing = 3;
// A further offset (after a cut) is believed from two segments once three agree on another.
constexpr int fewestAgreeingAfterCut = 2;
// A match this many standard deviations above the other lags counts; chance matches over the
// 6,001 lags of a segment rarely reach it.
constexpr double lowestScore = 4.5;
// Offsets below this are not heard and not worth a change to the mux.
constexpr double smallestCorrection = 0.04;
// A fitted line whose lags change by less than this over the segments it fits is a constant
// offset; more cannot lie within one agreement.
constexpr double smallestDrift = 2 * agreement;
// The first or the last segment alone may show a cut near the start or the end, which no
// other segment can confirm; its match must stand out further than chance matches of
// unrelated audio ever do (held notes reach 10), while related audio rarely scores below it.
constexpr double lowestLoneEdgeScore = 12;
// A line needs more points than two to show anything.
constexpr int fewestOnLine = 4;

// A segment's match that counts: where the segment lies, and its lag.
struct Match {
    qsizetype segment;
    double time; // the segment's centre, in English film time
    double lag;
};

QList<Match> matchesOf(const SyncMeasurement &measurement)
{
    QList<Match> matches;
    for (qsizetype i = 0; i < measurement.segments.size(); ++i) {
        const SyncSegment &segment = measurement.segments.at(i);
        if (segment.lagSeconds && segment.score >= lowestScore)
            matches << Match{i, segment.startSeconds + segment.lengthSeconds / 2,
                             *segment.lagSeconds};
    }
    return matches;
}

// Whether `count` segments are most of the segments with audio.
bool areMost(qsizetype count, const SyncMeasurement &measurement)
{
    const auto withAudio = std::count_if(measurement.segments.cbegin(), measurement.segments.cend(),
                                         [](const SyncSegment &s) { return s.hasAudio; });
    return 2 * count > withAudio;
}

double meanLag(const QList<Match> &matches)
{
    double sum = 0;
    for (const Match &match : matches)
        sum += match.lag;
    return sum / double(matches.size());
}

// Groups of matches whose lags lie within one agreement, largest first, each in time order:
// the largest group of all, then the largest of the rest, and so on.
QList<QList<Match>> agreeingGroups(QList<Match> matches)
{
    std::sort(matches.begin(), matches.end(),
              [](const Match &a, const Match &b) { return a.lag < b.lag; });
    QList<QList<Match>> groups;
    while (!matches.isEmpty()) {
        qsizetype bestFirst = 0, bestCount = 0;
        for (qsizetype first = 0, last = 0; first < matches.size(); ++first) {
            last = std::max(last, first);
            while (last + 1 < matches.size() &&
                   matches.at(last + 1).lag - matches.at(first).lag <= agreement)
                ++last;
            if (last - first + 1 > bestCount)
                bestFirst = first, bestCount = last - first + 1;
        }
        QList<Match> group = matches.mid(bestFirst, bestCount);
        matches.remove(bestFirst, bestCount);
        std::sort(group.begin(), group.end(),
                  [](const Match &a, const Match &b) { return a.time < b.time; });
        groups << group;
    }
    return groups;
}

struct Line {
    double intercept = 0; // lag at film time 0
    double slope = 0;     // seconds of lag per second of film
    QList<Match> points;  // the matches within half an agreement of it
};

Line leastSquares(const QList<Match> &points)
{
    double meanTime = 0, meanLag = 0;
    for (const Match &p : points)
        meanTime += p.time, meanLag += p.lag;
    meanTime /= double(points.size());
    meanLag /= double(points.size());
    double covariance = 0, variance = 0;
    for (const Match &p : points) {
        covariance += (p.time - meanTime) * (p.lag - meanLag);
        variance += (p.time - meanTime) * (p.time - meanTime);
    }
    const double slope = variance > 0 ? covariance / variance : 0;
    return {meanLag - slope * meanTime, slope, points};
}

QList<Match> pointsNear(const QList<Match> &matches, double intercept, double slope)
{
    QList<Match> near;
    for (const Match &match : matches) {
        if (std::abs(match.lag - (intercept + slope * match.time)) <= agreement / 2)
            near << match;
    }
    return near;
}

// The line through two of the matches that most others lie on, refitted to those: stray
// matches do not bend it.
Line bestLine(const QList<Match> &matches)
{
    QList<Match> best;
    for (qsizetype a = 0; a < matches.size(); ++a) {
        for (qsizetype b = a + 1; b < matches.size(); ++b) {
            const Match &p = matches.at(a), &q = matches.at(b);
            const double slope = (q.lag - p.lag) / (q.time - p.time);
            const QList<Match> near = pointsNear(matches, p.lag - slope * p.time, slope);
            if (near.size() > best.size())
                best = near;
        }
    }
    if (best.size() < 2)
        return {};
    const Line fitted = leastSquares(best);
    return {fitted.intercept, fitted.slope, pointsNear(matches, fitted.intercept, fitted.slope)};
}

QList<bool> trustedOnly(const SyncMeasurement &measurement, const QList<Match> &trusted)
{
    QList<bool> flags(measurement.segments.size(), false);
    for (const Match &match : trusted)
        flags[match.segment] = true;
    return flags;
}

std::optional<SyncAssessment> drift(const SyncMeasurement &measurement, const QList<Match> &matches)
{
    const Line line = bestLine(matches);
    if (line.points.size() < fewestOnLine || !areMost(line.points.size(), measurement))
        return std::nullopt;
    const double span = line.points.last().time - line.points.first().time;
    if (std::abs(line.slope * span) < smallestDrift)
        return std::nullopt;
    return SyncAssessment{.pattern = SyncPattern::drift,
                          .trusted = trustedOnly(measurement, line.points),
                          .fromSeconds = line.intercept,
                          .toSeconds = line.intercept + line.slope * measurement.durationSeconds,
                          .driftPerSecond = line.slope};
}

// A group of the first or the last segment alone, with a match that stands out: the lag of
// the stretch before the segments' first cut, or after their last.
bool isLoneEdge(const QList<Match> &group, const SyncMeasurement &measurement)
{
    if (group.size() != 1)
        return false;
    const qsizetype index = group.first().segment;
    return (index == 0 || index == measurement.segments.size() - 1) &&
           measurement.segments.at(index).score >= lowestLoneEdgeScore;
}

// Trusted groups in time order: each one's segments all come before the next one's.
bool inTimeOrder(QList<QList<Match>> &groups)
{
    std::sort(groups.begin(), groups.end(), [](const QList<Match> &a, const QList<Match> &b) {
        return a.first().time < b.first().time;
    });
    for (qsizetype g = 1; g < groups.size(); ++g) {
        if (groups.at(g).first().time < groups.at(g - 1).last().time)
            return false;
    }
    return true;
}

// The jump between two groups in time order: somewhere between the last segment before it and
// the first after it, or where the measurement's cut locations placed a jump of the same lags
// within that stretch.
SyncJump jumpBetween(const QList<Match> &earlier, const QList<Match> &later,
                     const SyncMeasurement &measurement)
{
    const SyncSegment &before = measurement.segments.at(earlier.last().segment);
    const SyncSegment &after = measurement.segments.at(later.first().segment);
    SyncJump jump{.englishSeconds =
                      (before.startSeconds + before.lengthSeconds + after.startSeconds) / 2,
                  .fromLagSeconds = meanLag(earlier),
                  .toLagSeconds = meanLag(later),
                  .earliestSeconds = before.startSeconds,
                  .latestSeconds = after.startSeconds + after.lengthSeconds};
    for (const CutLocation &location : measurement.cutLocations) {
        if (location.englishSeconds &&
            std::abs(location.fromLagSeconds - jump.fromLagSeconds) <= agreement &&
            std::abs(location.toLagSeconds - jump.toLagSeconds) <= agreement &&
            *location.englishSeconds >= jump.earliestSeconds &&
            *location.englishSeconds <= jump.latestSeconds) {
            jump.englishSeconds = *location.englishSeconds;
            jump.located = true;
        }
    }
    return jump;
}

} // namespace

SyncAssessment assessSync(const SyncMeasurement &measurement)
{
    const QList<Match> matches = matchesOf(measurement);
    if (const std::optional<SyncAssessment> steady = drift(measurement, matches))
        return *steady;

    QList<QList<Match>> groups = agreeingGroups(matches);
    if (groups.isEmpty() || groups.first().size() < fewestAgreeing)
        return {.trusted = QList<bool>(measurement.segments.size(), false)};
    const auto tooSmall = [&](const QList<Match> &group) {
        return group.size() < fewestAgreeingAfterCut && !isLoneEdge(group, measurement);
    };
    groups.erase(std::remove_if(groups.begin() + 1, groups.end(), tooSmall), groups.end());

    // A lone edge adds to the agreement found; it cannot make one.
    qsizetype confirmed = 0;
    for (const QList<Match> &group : std::as_const(groups))
        confirmed += isLoneEdge(group, measurement) ? 0 : group.size();
    if (!areMost(confirmed, measurement) || !inTimeOrder(groups))
        return {.trusted = QList<bool>(measurement.segments.size(), false)};
    // Held notes let an edge segment alone match a lag the audio does not have: once the jumps
    // were looked for, one that only an edge segment shows counts where it was placed.
    if (measurement.cutsSought) {
        if (groups.size() > 1 && isLoneEdge(groups.first(), measurement) &&
            !jumpBetween(groups.at(0), groups.at(1), measurement).located)
            groups.removeFirst();
        if (groups.size() > 1 && isLoneEdge(groups.last(), measurement) &&
            !jumpBetween(groups.at(groups.size() - 2), groups.last(), measurement).located)
            groups.removeLast();
    }

    QList<Match> trusted;
    for (const QList<Match> &group : std::as_const(groups))
        trusted += group;
    SyncAssessment assessment{.trusted = trustedOnly(measurement, trusted)};
    if (groups.size() == 1) {
        assessment.offsetSeconds = meanLag(groups.first());
        assessment.pattern = std::abs(assessment.offsetSeconds) < smallestCorrection
                                 ? SyncPattern::inSync
                                 : SyncPattern::constant;
        return assessment;
    }
    assessment.pattern = SyncPattern::cut;
    for (qsizetype g = 1; g < groups.size(); ++g)
        assessment.cuts << jumpBetween(groups.at(g - 1), groups.at(g), measurement);
    assessment.cutSeconds = assessment.cuts.first().englishSeconds;
    assessment.fromSeconds = assessment.cuts.first().fromLagSeconds;
    assessment.toSeconds = assessment.cuts.first().toLagSeconds;
    assessment.unsplicedOffsetSeconds =
        isLoneEdge(groups.first(), measurement) ? assessment.toSeconds : assessment.fromSeconds;
    return assessment;
}
