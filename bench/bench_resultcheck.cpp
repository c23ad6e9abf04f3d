// Times the audio checks of a season:
// 1. the check of one muxed output against the decodes it consists of, run alone;
// 2. `spurenflechter-cli --sync-check --jobs 2 analyze` of eight pairs against `--jobs 1`.
// Prints the machine's core count and load, which the figures depend on.

#include "BenchSupport.h"
#include "support/SyncMedia.h"
#include "sync/AudioDecoding.h"
#include "sync/ResultCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

constexpr double episodeSeconds = 720; // ten one-minute segments, the most the check decodes
constexpr int rounds = 3;
constexpr int pairs = 8;
const QString ffmpeg = u"/usr/bin/ffmpeg"_s;

QString loadAverage()
{
    QFile file(u"/proc/loadavg"_s);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).section(u' ', 0, 2)
                                          : u"?"_s;
}

// An English release with video and 5.1 AC-3, and a German one 0.8 s late.
bool makePair(const QString &english, const QString &german)
{
    const auto sound = [](Language language) {
        return makeSoundtrack(SoundFamily::effects, language, 3, episodeSeconds + 10);
    };
    return writeRelease(english, sound(Language::english), {}, episodeSeconds,
                        u"-f lavfi -i color=c=black:s=64x36:r=25:d=%1 -map 1:v -c:v mpeg4 -map 0:a "
                        u"-c:a ac3 -ac 6 -ar 48000 -metadata:s:a:0 language=eng"_s.arg(
                            episodeSeconds)
                            .split(u' '))
               .isEmpty() &&
           writeRelease(german, sound(Language::german), {1, 0.8}, episodeSeconds,
                        u"-c:a ac3 -ac 6 -ar 48000 -metadata:s:a:0 language=ger"_s.split(u' '))
               .isEmpty();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    out << u"%1 cores, load average %2\n"_s.arg(QThread::idealThreadCount()).arg(loadAverage());

    const QString english = dir.filePath(u"eng.mkv"_s);
    const QString german = dir.filePath(u"deu.mkv"_s);
    const QString output = dir.filePath(u"out.mkv"_s);
    if (!makePair(english, german) ||
        !runQuietly(u"mkvmerge"_s, {u"-o"_s, output, german, english})) {
        out << "Die Testdateien konnten nicht erzeugt werden.\n";
        return 1;
    }

    // 1. The output's German track is the first audio track, its English one the second.
    const QUrl outputUrl = QUrl::fromLocalFile(output);
    const QList<SyncSpan> spans = planSyncSegments(episodeSeconds);
    const auto decodes = [&] {
        for (const SyncSpan &span : spans) {
            for (const int track : {1, 0})
                decodeMonoPcm(ffmpeg, {outputUrl, track, span.start, span.length}, {});
        }
    };
    std::optional<ResultCheck> check;
    double checkMs = std::numeric_limits<double>::infinity();
    double decodesMs = checkMs;
    for (int i = 0; i < rounds; ++i) {
        decodesMs = std::min(decodesMs, bestMilliseconds(1, decodes));
        checkMs = std::min(checkMs, bestMilliseconds(1, [&] {
                               check = checkResult(u"S01E01"_s, outputUrl,
                                                   ToolLocations::platformDefault(), nullptr);
                           }));
    }
    out << u"check: %1\n"_s.arg(check ? check->finding.message : u"–"_s);
    printComparison(out, 1, u"result check"_s, checkMs,
                    u"its %1 decodes alone"_s.arg(2 * spans.size()), decodesMs);

    // 2. Eight pairs linked to the two releases.
    const QString primaryFolder = dir.filePath(u"season-eng"_s);
    const QString localizedFolder = dir.filePath(u"season-deu"_s);
    for (const QString &folder : {primaryFolder, localizedFolder})
        emptyFolder(folder);
    QStringList files;
    linkSeason(english, german, primaryFolder, localizedFolder, pairs, files);
    const QString cli = QCoreApplication::applicationDirPath() + u"/../src/cli/spurenflechter-cli"_s;
    const auto analyze = [&](int jobs) {
        return [&, jobs] {
            runQuietly(cli, {u"--sync-check"_s, u"--jobs"_s, QString::number(jobs), u"analyze"_s,
                             primaryFolder, localizedFolder});
        };
    };
    double oneJobMs = std::numeric_limits<double>::infinity();
    double twoJobsMs = oneJobMs;
    for (int i = 0; i < rounds - 1; ++i) {
        // Alternated, so that a busy moment of the machine hits both alike.
        twoJobsMs = std::min(twoJobsMs, bestMilliseconds(1, analyze(2)));
        oneJobMs = std::min(oneJobMs, bestMilliseconds(1, analyze(1)));
    }
    printComparison(out, pairs, u"--sync-check --jobs 1 analyze"_s, oneJobMs,
                    u"--sync-check --jobs 2 analyze"_s, twoJobsMs);
    out << u"load average afterwards %1\n"_s.arg(loadAverage());
    return 0;
}
