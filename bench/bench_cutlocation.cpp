// Times the location of one cut in a 45-minute episode of effects over a room tone, 5.1 AC-3 at
// 48 kHz as broadcast releases carry it, the German release 1.6 s longer at 17:00. locateCuts
// between the segments around the cut runs against the two ffmpeg decodes of that stretch it
// runs, on their own. What it adds on top is the phase comparison at both lags, their refinement,
// the noise at unrelated lags and the check of both sides.

#include "BenchSupport.h"
#include "support/SyncMedia.h"
#include "sync/AudioDecoding.h"
#include "sync/CutLocation.h"
#include "sync/JumpEvidence.h"
#include "sync/SyncSegments.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int rounds = 3;
constexpr double episodeSeconds = 45 * 60;
constexpr double late = 0.3, cutAt = 17 * 60, extra = 1.6;
const QString ffmpeg = u"/usr/bin/ffmpeg"_s;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString english = dir.filePath(u"english.ac3"_s), german = dir.filePath(u"german.ac3"_s);
    const QStringList encoding = u"-ar 48000 -ac 6 -c:a ac3 -b:a 384k"_s.split(u' ');
    const auto soundtrack = [](Language language) {
        return makeSoundtrack(SoundFamily::effects, language, 7, episodeSeconds + 10, 0.03f);
    };
    if (!dir.isValid() ||
        !(writeRelease(english, soundtrack(Language::english), {}, episodeSeconds, encoding) +
          writeEditedRelease(german, soundtrack(Language::german), 1, late, {{cutAt, extra}},
                             episodeSeconds + extra, encoding))
             .isEmpty()) {
        out << "Die Testdateien konnten nicht erzeugt werden.\n";
        return 1;
    }

    // The jump lies between the last segment that ends before the cut and the next one.
    const QList<SyncSpan> spans = planSyncSegments(episodeSeconds);
    qsizetype after = 0;
    while (after < spans.size() && spans.at(after).start < cutAt)
        ++after;
    if (after == 0 || after == spans.size()) {
        out << "Kein Segment vor und nach dem Schnitt.\n";
        return 1;
    }
    const SyncJump jump{cutAt, late, late + extra, spans.at(after - 1).start,
                        spans.at(after).start + spans.at(after).length};

    std::optional<double> placed;
    const double locateMs = bestMilliseconds(rounds, [&] {
        const QList<CutLocation> found = locateCuts(
            {QUrl::fromLocalFile(english), 0, episodeSeconds},
            {QUrl::fromLocalFile(german), 0, episodeSeconds + extra}, {ffmpeg}, {.cuts = {jump}});
        placed = found.isEmpty() ? std::nullopt : found.first().englishSeconds;
    });
    // The same stretches as locateCuts decodes: German audio beyond both lags by its margin.
    bool decoded = true;
    const double decodeMs = bestMilliseconds(rounds, [&] {
        const double length = jump.latestSeconds - jump.earliestSeconds;
        decoded = decodeMonoPcm(ffmpeg,
                                {QUrl::fromLocalFile(english), 0, jump.earliestSeconds, length}, {})
                      .has_value() &&
                  decodeMonoPcm(ffmpeg,
                                {QUrl::fromLocalFile(german), 0,
                                 jump.earliestSeconds + late - germanMargin,
                                 length + extra + 2 * germanMargin},
                                {})
                      .has_value();
    });
    if (!placed || std::abs(*placed - cutAt) > 0.05 || !decoded) {
        out << "Der Schnitt wurde nicht richtig gefunden.\n";
        return 1;
    }
    out << u"A stretch of %1 min between two segments, the cut placed %2 s off.\n"_s
               .arg((jump.latestSeconds - jump.earliestSeconds) / 60, 0, 'f', 1)
               .arg(std::abs(*placed - cutAt), 0, 'f', 3);
    printComparison(out, 1, u"locateCuts"_s, locateMs, u"its two decodes alone"_s, decodeMs);
    return 0;
}
