// Times MKVInspector::inspect against a bare `mkvmerge -J` run on the same small file. Each
// inspect call looks for mkvmerge again and runs `file` on it, so the ratio shows what the
// tool search and the JSON reading cost on top of mkvmerge itself.

#include "BenchSupport.h"
#include "inspect/MKVInspector.h"
#include "tools/UserFacingError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int runs = 50;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString episode = dir.filePath(QStringLiteral("episode.mkv"));
    if (!dir.isValid() || !makeEpisode(episode, 10).isEmpty()) {
        out << "Die Testdatei konnte nicht erzeugt werden.\n";
        return 1;
    }

    const MKVInspector inspector;
    const QUrl url = QUrl::fromLocalFile(episode);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i) {
        try {
            if (inspector.inspect(url).tracks.size() != 3) {
                out << "Unerwartete Spurenzahl.\n";
                return 1;
            }
        } catch (...) {
            out << describeError(std::current_exception()) << '\n';
            return 1;
        }
    }
    const double inspectMs = timer.nsecsElapsed() / 1e6;

    const std::optional<double> plainMs = identifyMilliseconds(QStringList(runs, episode));
    if (!plainMs) {
        out << "mkvmerge -J schlug fehl.\n";
        return 1;
    }

    printComparison(out, runs, QStringLiteral("MKVInspector::inspect"), inspectMs,
                    QStringLiteral("mkvmerge -J"), *plainMs);
    return 0;
}
