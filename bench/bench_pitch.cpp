// Times bringing German PAL audio to film speed and pitch, on a 45-minute episode whose
// German release runs 43.2 minutes with 5.1 AC-3 at 448 kbit/s:
// 1. convertToFilmSpeed on its German track against the plain ffmpeg command for the same
//    slow-down and encoding: what the probe, the exact rate ratio and the progress add.
// 2. MuxExecutor::mux for the pair with pitch restoration against without it, and the share
//    of the pair that the conversion takes.

#include "analysis/PalSpeedup.h"
#include "BenchSupport.h"
#include "mux/FilmSpeedAudio.h"
#include "mux/MuxExecutor.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int rounds = 3;
constexpr double filmSeconds = 45 * 60;

bool run(const QString &program, const QString &arguments, const QString &file)
{
    return runChild({program, arguments.split(u' ') << file}).succeeded();
}

bool makeEpisode(const QString &path, double seconds, const QString &rate, const QString &audio)
{
    return run(QStringLiteral("/usr/bin/ffmpeg"),
               QStringLiteral("-nostdin -loglevel error -y -f lavfi -i "
                              "testsrc2=size=320x180:rate=%1 -f lavfi -i sine=f=440:r=48000 -t %2 "
                              "-c:v mpeg4 -q:v 3 %3")
                   .arg(rate)
                   .arg(seconds)
                   .arg(audio),
               path);
}

double muxMilliseconds(MuxExecutor &executor, const Episode &episode, const QString &output,
                       bool restorePitch)
{
    emptyFolder(output);
    return bestMilliseconds(1, [&] {
        QFuture<MuxResult> done =
            executor.mux({episode.pair, episode.primary, episode.localized,
                          QUrl::fromLocalFile(output), {}, {}, restorePitch},
                         {});
        while (!done.isFinished())
            QTest::qWait(5);
        done.result(); // throws on a failed pair
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString english = dir.filePath(QStringLiteral("eng/S01E01.mkv"));
    const QString german = dir.filePath(QStringLiteral("deu/S01E01.mkv"));
    QDir().mkpath(dir.filePath(QStringLiteral("eng")));
    QDir().mkpath(dir.filePath(QStringLiteral("deu")));
    out << "making a 45-minute pair …\n";
    out.flush();
    if (!makeEpisode(english, filmSeconds, QStringLiteral("24000/1001"),
                     QStringLiteral("-c:a ac3 -b:a 192k -metadata:s:a:0 language=eng")) ||
        !makeEpisode(german, filmSeconds / palTimingFactor, QStringLiteral("25"),
                     QStringLiteral("-af pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0 -c:a ac3 "
                                    "-b:a 448k -metadata:s:a:0 language=ger"))) {
        out << "Die Testdateien konnten nicht erzeugt werden.\n";
        return 1;
    }
    out << QStringLiteral("pair of %1 MB + %2 MB\n")
               .arg(QFileInfo(english).size() / 1e6, 0, 'f', 0)
               .arg(QFileInfo(german).size() / 1e6, 0, 'f', 0);

    // 1. The conversion alone.
    const QString converted = dir.filePath(QStringLiteral("film.mka"));
    const FilmSpeedRequest request{QStringLiteral("/usr/bin/ffmpeg"),
                                   QStringLiteral("/usr/bin/ffprobe"),
                                   QStringLiteral("/usr/bin/mkvmerge"),
                                   QUrl::fromLocalFile(german),
                                   1, // the video is track 0

                                   converted,
                                   filmSeconds / palTimingFactor};
    const QString plain = QStringLiteral("-nostdin -loglevel error -y -i %1 -map 0:a:0 -af "
                                         "asetrate=46034,aresample=48000 -c:a ac3 -b:a 448k")
                              .arg(german);
    double conversionMs = std::numeric_limits<double>::infinity();
    double plainMs = conversionMs;
    for (int i = 0; i < rounds; ++i) {
        // Alternated, so that a busy moment of the machine hits both alike.
        plainMs = std::min(plainMs, bestMilliseconds(1, [&] {
                               run(QStringLiteral("/usr/bin/ffmpeg"), plain, converted);
                           }));
        QFile::remove(converted);
        conversionMs = std::min(conversionMs, bestMilliseconds(1, [&] {
                                    convertToFilmSpeed(request, {0, nullptr, [](double) {}});
                                }));
        QFile::remove(converted);
    }
    printComparison(out, 1, QStringLiteral("convertToFilmSpeed"), conversionMs,
                    QStringLiteral("ffmpeg alone"), plainMs);

    // 2. The whole pair.
    const Episode episode = episodeOf(english, german);
    const QString output = dir.filePath(QStringLiteral("out"));
    MuxExecutor executor;
    double restoredMs = std::numeric_limits<double>::infinity();
    double stretchedMs = restoredMs;
    for (int i = 0; i < rounds; ++i) {
        stretchedMs = std::min(stretchedMs, muxMilliseconds(executor, episode, output, false));
        restoredMs = std::min(restoredMs, muxMilliseconds(executor, episode, output, true));
    }
    printComparison(out, 1, QStringLiteral("pair with --restore-pitch"), restoredMs,
                    QStringLiteral("pair without"), stretchedMs);
    out << QStringLiteral("share of the conversion in the pair: %1\n")
               .arg(conversionMs / restoredMs, 0, 'f', 2);
    return 0;
}
