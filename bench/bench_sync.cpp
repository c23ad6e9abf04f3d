// Times the sync check on one 45-minute PAL pair with 5.1 AC-3 audio, as broadcast releases
// carry it, against the ffmpeg decodes it runs (each segment of both tracks) run on their own:
// what the check adds on top is the envelopes, the correlations and the judgement. Then times
// the analysis of two folders of 20 episodes of 22 minutes with and without the check.

#include "analysis/PalSpeedup.h"
#include "BenchSupport.h"
#include "model/AppModel.h"
#include "sync/SyncChecker.h"
#include "support/SyncMedia.h"
#include "sync/SyncSegments.h"
#include "tools/ChildProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int rounds = 3;
constexpr double longEpisode = 45 * 60;
constexpr double shortEpisode = 22 * 60;
constexpr int pairCount = 20;
constexpr double germanDelay = 1.2;
const QString ffmpeg = u"/usr/bin/ffmpeg"_s;

// The English and the German (1.2 s late, at PAL speed) release of one episode.
QString writePair(const QString &english, const QString &german, double seconds,
                  const QStringList &encoding)
{
    const auto soundtrack = [&](Language language) {
        return makeSoundtrack(SoundFamily::effects, language, 3, seconds + 10);
    };
    return writeRelease(english, soundtrack(Language::english), {}, seconds, encoding) +
           writeRelease(german, soundtrack(Language::german), {palTimingFactor, germanDelay},
                        seconds / palTimingFactor, encoding);
}

// The decodes the check runs: each segment of the English track, and the same stretch of film
// time of the German track in its own time.
QList<QStringList> decodeArguments(const QString &english, const QString &german)
{
    QList<QStringList> runs;
    for (const SyncSpan &span : planSyncSegments(longEpisode)) {
        for (const auto &[file, start, length] :
             {std::tuple{english, span.start, span.length},
              {german, span.start / palTimingFactor, span.length / palTimingFactor}}) {
            runs << (u"-nostdin -hide_banner -loglevel error -ss"_s.split(u' ')
                     << QString::number(start, 'f', 6) << u"-t"_s << QString::number(length, 'f', 6)
                     << u"-i"_s << file
                     << u"-map 0:a:0 -af aresample=async=1:first_pts=0 -ac 1 -ar 4000 -f s16le -"_s
                            .split(u' '));
        }
    }
    return runs;
}

// A Matroska episode: a tiny black video as long as `audio`, and `audio` tagged `language`.
bool writeEpisode(const QString &path, const QString &audio, double seconds,
                  const QString &language)
{
    const ChildOutcome outcome = runChild(
        {ffmpeg,
         u"-nostdin -loglevel error -y -f lavfi -i color=c=black:s=64x36:r=25:d=%1 -i"_s
                 .arg(seconds, 0, 'f', 3)
                 .split(u' ')
             << audio
             << u"-map 0:v -c:v mpeg4 -q:v 31 -map 1:a -c:a copy -metadata:s:a:0 language=%1"_s
                    .arg(language)
                    .split(u' ')
             << path});
    return outcome.succeeded();
}

// Copies `episode` into `folder` as S01E01.mkv and onwards.
bool fillFolder(const QString &episode, const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    for (int number = 1; number <= pairCount; ++number) {
        if (!QFile::copy(episode, folder + u"/S01E%1.mkv"_s.arg(number, 2, 10, QChar(u'0'))))
            return false;
    }
    return true;
}

// One analysis of both folders; its time, or nothing when not every pair was checked as wanted.
std::optional<double> timeAnalysis(const QString &primary, const QString &localized, bool withCheck)
{
    AppModel model;
    model.setPrimaryFolder(QUrl::fromLocalFile(primary));
    model.setLocalizedFolder(QUrl::fromLocalFile(localized));
    model.setSyncCheckEnabled(withCheck);
    const double milliseconds = analysisMilliseconds(model);
    qsizetype corrected = 0;
    for (const PairSyncCheck &check : model.syncChecks())
        corrected += check.verdict.correction &&
                     std::abs(check.verdict.correction->offsetSeconds - germanDelay) <= 0.02;
    if (model.pairs().size() != pairCount || corrected != (withCheck ? pairCount : 0))
        return std::nullopt;
    return milliseconds;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString english = dir.filePath(u"english.ac3"_s), german = dir.filePath(u"german.ac3"_s);
    if (!dir.isValid() || !writePair(english, german, longEpisode,
                                     u"-ar 48000 -ac 6 -c:a ac3 -b:a 384k"_s.split(u' '))
                               .isEmpty()) {
        out << "Die Testdateien konnten nicht erzeugt werden.\n";
        return 1;
    }

    const SyncSource englishSource{QUrl::fromLocalFile(english), 0, longEpisode};
    const SyncSource germanSource{QUrl::fromLocalFile(german), 0, longEpisode / palTimingFactor};
    SyncVerdict verdict;
    const QList<QStringList> decodes = decodeArguments(english, german);
    bool decoded = true;
    double checkMs = std::numeric_limits<double>::infinity(), decodeMs = checkMs;
    const auto check = [&] {
        verdict = judgeSync(u"S01E01"_s,
                            measureSync(englishSource, germanSource, {ffmpeg, palTimingFactor}));
    };
    const auto decodeOnly = [&] {
        for (const QStringList &arguments : decodes) {
            const ChildOutcome outcome = runChild({ffmpeg, arguments});
            decoded = decoded && outcome.succeeded() && !outcome.standardOutput.isEmpty();
        }
    };
    // Alternating rounds, so a busy spell of the machine hits both sides alike.
    for (int round = 0; round < rounds; ++round) {
        checkMs = std::min(checkMs, bestMilliseconds(1, check));
        decodeMs = std::min(decodeMs, bestMilliseconds(1, decodeOnly));
    }
    if (!verdict.correction || !decoded) {
        out << "Die Prüfung lieferte kein Ergebnis.\n";
        return 1;
    }
    out << u"45-minute pair, %1 segments: offset %2 s (true %3 s)\n"_s.arg(decodes.size() / 2)
               .arg(verdict.correction->offsetSeconds, 0, 'f', 4)
               .arg(germanDelay, 0, 'f', 4);
    printComparison(out, 1, u"measureSync"_s, checkMs, u"its ffmpeg decodes alone"_s, decodeMs);

    const QString englishEpisode = dir.filePath(u"english.mkv"_s);
    const QString germanEpisode = dir.filePath(u"german.mkv"_s);
    const QString primary = dir.filePath(u"Ordner 1"_s), localized = dir.filePath(u"Ordner 2"_s);
    const QStringList stereo = u"-ar 48000 -ac 2 -c:a ac3 -b:a 192k"_s.split(u' ');
    if (!writePair(english, german, shortEpisode, stereo).isEmpty() ||
        !writeEpisode(englishEpisode, english, shortEpisode, u"eng"_s) ||
        !writeEpisode(germanEpisode, german, shortEpisode / palTimingFactor, u"ger"_s) ||
        !fillFolder(englishEpisode, primary) || !fillFolder(germanEpisode, localized)) {
        out << "Die Ordner konnten nicht gefüllt werden.\n";
        return 1;
    }
    timeAnalysis(primary, localized, false); // warms the caches for both runs
    const std::optional<double> withCheck = timeAnalysis(primary, localized, true);
    const std::optional<double> without = timeAnalysis(primary, localized, false);
    if (!withCheck || !without) {
        out << "Die Analyse lieferte nicht das erwartete Ergebnis.\n";
        return 1;
    }
    printComparison(out, pairCount, u"analysis with the sync check"_s, *withCheck,
                    u"analysis without"_s, *without);
    return 0;
}
