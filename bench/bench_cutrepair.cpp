// Times the cut repair's conversion of a German track of a 45-minute episode, 5.1 AC-3 at
// 448 kbit/s with three cuts (2.4 s removed, 1.6 s of silence inserted, 30 s removed):
// 1. convertToFilmSpeed with the splices against the bare ffmpeg command with the same pieces
//    and filter: what the probe and the progress add; then the search for quiet splice points.
// 2. The same with the pitch restored in the same conversion.

#include "BenchSupport.h"
#include "mux/CutRepair.h"
#include "mux/FilmSpeedAudio.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <limits>

#include <sys/resource.h>

namespace {

constexpr int rounds = 2;
constexpr double episodeSeconds = 45 * 60;
const QString ffmpeg = QStringLiteral("/usr/bin/ffmpeg");

// Processor seconds of all finished children so far: on a shared machine the wall time says
// more about the other processes than about the work.
double childProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The wall time in milliseconds and the children's processor seconds of `work`.
template <typename Work> std::pair<double, double> measured(Work work)
{
    const double before = childProcessorSeconds();
    const double ms = bestMilliseconds(1, work);
    return {ms, childProcessorSeconds() - before};
}

// Alternated, so that a busy moment of the machine hits both alike.
void compare(QTextStream &out, const FilmSpeedRequest &request, const QString &name)
{
    const AudioEncoding encoding = chooseAudioEncoding({QStringLiteral("ac3"), 6, 48000, 448000});
    QStringList filters;
    if (request.toFilmSpeed)
        filters << QStringLiteral("asetrate=46080000,aresample=48048000,asetrate=48000");
    if (encoding.primingSamples > 0)
        filters << QStringLiteral("atrim=start_sample=%1").arg(encoding.primingSamples);
    const QStringList bare =
        QStringList{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error")} +
        splicingArguments(request, 0, filters.join(u',')) +
        QStringList{QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"),
                    QStringLiteral("448k"), QStringLiteral("-f"), QStringLiteral("matroska"),
                    QStringLiteral("-y"), request.outputPath};
    constexpr double none = std::numeric_limits<double>::infinity();
    std::pair<double, double> conversion{none, none}, plain{none, none};
    const auto keepBest = [](std::pair<double, double> &best, std::pair<double, double> run) {
        best = {std::min(best.first, run.first), std::min(best.second, run.second)};
    };
    for (int i = 0; i < rounds; ++i) {
        keepBest(plain, measured([&] { runQuietly(ffmpeg, bare); }));
        QFile::remove(request.outputPath);
        keepBest(conversion, measured([&] {
                     convertToFilmSpeed(request, {0, nullptr, [](double) {}});
                 }));
        QFile::remove(request.outputPath);
    }
    printComparison(out, 1, name, conversion.first, QStringLiteral("ffmpeg alone"), plain.first);
    out << QStringLiteral("processor time: %1 s against %2 s, ratio %3\n")
               .arg(conversion.second, 0, 'f', 1)
               .arg(plain.second, 0, 'f', 1)
               .arg(conversion.second / plain.second, 0, 'f', 3);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString german = dir.filePath(QStringLiteral("S01E01.mka"));
    out << "making a 45-minute 5.1 track …\n";
    out.flush();
    if (!runQuietly(ffmpeg, QStringLiteral("-nostdin -loglevel error -y -f lavfi -i "
                                           "anoisesrc=r=48000:a=0.1 -t %1 -af "
                                           "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0 -c:a ac3 "
                                           "-b:a 448k -metadata:s:a:0 language=ger")
                                .arg(episodeSeconds)
                                .split(u' ')
                                << german)) {
        out << "Die Testdatei konnte nicht erzeugt werden.\n";
        return 1;
    }
    const SpliceMap planned{{{600, 600, 2.4}, {1500, 1502.4, -1.6}, {2100, 2100.8, 30}}};
    FilmSpeedRequest request{ffmpeg,
                             QStringLiteral("/usr/bin/ffprobe"),
                             QStringLiteral("/usr/bin/mkvmerge"),
                             QUrl::fromLocalFile(german),
                             0,
                             dir.filePath(QStringLiteral("spliced.mka")),
                             episodeSeconds,
                             false,
                             planned,
                             1};

    // 1. Spliced only, then the search that places the splices.
    compare(out, request, QStringLiteral("convertToFilmSpeed, spliced"));
    const double searchMs = bestMilliseconds(rounds, [&] {
        quietestSplices(planned, {ffmpeg, QUrl::fromLocalFile(german), 0, 1, nullptr});
    });
    out << QStringLiteral("search for the quiet splice points: %1 ms (%2 splices)\n")
               .arg(searchMs, 0, 'f', 0)
               .arg(planned.splices.size());

    // 2. Spliced and brought to film speed and pitch at once.
    request.toFilmSpeed = true;
    compare(out, request, QStringLiteral("convertToFilmSpeed, spliced and slowed"));
    return 0;
}
