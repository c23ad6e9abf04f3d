// Times `spurenflechter-cli --jobs 2 mux` over a season of PAL pairs, each of which takes
// mkvmerge a few seconds:
// 1. against `--jobs 1`: the gain in throughput (on two or more cores);
// 2. against `mkvmerge -J` on every file followed by the same mkvmerge commands run two at a
//    time on their own: what the parallel run costs beyond the tools.
// Prints the machine's core count and load, which the figures depend on.
// Works in the folder given as its argument, by default in memory (/dev/shm) where there is
// one: two mkvmerge write over 200 MB/s, more than many disks take, and the benchmark is about
// the cores. A folder on a disk shows where the disk sets the pace instead.

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

using namespace Qt::StringLiterals;

namespace {

constexpr int rounds = 2;
constexpr int pairs = 8;

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).section(u' ', 0, 2)
                                          : QStringLiteral("?");
}

// Runs every command, `atOnce` at a time.
void runAtOnce(const std::vector<AloneCommand> &commands, int atOnce)
{
    QThreadPool pool;
    pool.setMaxThreadCount(atOnce);
    for (const AloneCommand &command : commands)
        pool.start([&command] { command.run(); });
    pool.waitForDone();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QString base = argc > 1                           ? QString::fromLocal8Bit(argv[1])
                         : QFileInfo(u"/dev/shm"_s).isDir() ? u"/dev/shm"_s
                                                            : QDir::tempPath();
    QTemporaryDir dir(base + u"/bench_jobs-XXXXXX"_s);
    if (!dir.isValid()) {
        out << "Kein Arbeitsordner in " << base << '\n';
        return 1;
    }
    out << QStringLiteral("%1 cores, load average %2, working in %3\n")
               .arg(QThread::idealThreadCount())
               .arg(loadAverage(), base);

    const QString primary = dir.filePath(QStringLiteral("eng.mkv"));
    const QString localized = dir.filePath(QStringLiteral("deu.mkv"));
    if (!makePalPair(primary, localized, 150, QStringLiteral("1280x720"))) {
        out << "Die Testdateien konnten nicht erzeugt werden.\n";
        return 1;
    }
    const QString primaryFolder = dir.filePath(QStringLiteral("eng"));
    const QString localizedFolder = dir.filePath(QStringLiteral("deu"));
    const QString output = dir.filePath(QStringLiteral("out"));
    for (const QString &folder : {primaryFolder, localizedFolder, output})
        emptyFolder(folder);
    QStringList files;
    const QList<Episode> episodes =
        linkSeason(primary, localized, primaryFolder, localizedFolder, pairs, files);
    std::vector<AloneCommand> alone;
    for (const Episode &episode : episodes)
        alone.push_back(aloneCommand(episode, output));
    out << QStringLiteral("%1 pairs of %2 MB + %3 MB\n")
               .arg(pairs)
               .arg(QFileInfo(primary).size() / 1e6, 0, 'f', 0)
               .arg(QFileInfo(localized).size() / 1e6, 0, 'f', 0);
    const double oneMs = bestMilliseconds(1, [&] { alone.front().run(); }); // warms the cache
    out << QStringLiteral("one mkvmerge alone: %1 ms\n").arg(oneMs, 0, 'f', 0);

    const QString cli =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../src/cli/spurenflechter-cli");
    const auto command = [&](int jobs) {
        return [&, jobs] {
            runQuietly(cli, {QStringLiteral("--jobs"), QString::number(jobs), QStringLiteral("mux"),
                             primaryFolder, localizedFolder, output});
        };
    };
    double oneJobMs = std::numeric_limits<double>::infinity();
    double twoJobsMs = oneJobMs;
    double toolsMs = oneJobMs;
    for (int i = 0; i < rounds; ++i) {
        // Alternated, so that a busy moment of the machine hits all three alike.
        emptyFolder(output);
        twoJobsMs = std::min(twoJobsMs, bestMilliseconds(1, command(2)));
        if (QDir(output).entryList(QDir::Files).size() != pairs) {
            out << "spurenflechter-cli --jobs 2 mux schrieb nicht alle Dateien.\n";
            return 1;
        }
        emptyFolder(output);
        oneJobMs = std::min(oneJobMs, bestMilliseconds(1, command(1)));
        emptyFolder(output);
        toolsMs = std::min(toolsMs, bestMilliseconds(1, [&] {
                               identifyMilliseconds(files);
                               runAtOnce(alone, 2);
                           }));
    }
    emptyFolder(output);
    printComparison(out, pairs, QStringLiteral("spurenflechter-cli --jobs 1 mux"), oneJobMs,
                    QStringLiteral("spurenflechter-cli --jobs 2 mux"), twoJobsMs);
    printComparison(out, pairs, QStringLiteral("spurenflechter-cli --jobs 2 mux"), twoJobsMs,
                    QStringLiteral("mkvmerge -J, then mkvmerge two at a time"), toolsMs);
    out << QStringLiteral("load average afterwards %1\n").arg(loadAverage());
    return 0;
}
