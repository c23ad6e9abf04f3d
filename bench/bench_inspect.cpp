// Times MKVInspector::inspect against a bare `mkvmerge -J` run on the same small file. Each
// inspect call looks for mkvmerge again and runs `file` on it, so the ratio shows what the
// tool search and the JSON reading cost on top of mkvmerge itself.

#include "inspect/MKVInspector.h"
#include "inspect/UserFacingError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int runs = 50;

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Ten seconds of tiny video and two audio tracks, like a short episode.
bool makeEpisode(const QTemporaryDir &dir, const QString &output)
{
    const auto words = [](const char *text) { return QString::fromLatin1(text).split(u' '); };
    const QString video = dir.filePath(QStringLiteral("video.mkv"));
    const QString audio = dir.filePath(QStringLiteral("audio.ac3"));
    return run(QStringLiteral("/usr/bin/ffmpeg"),
               words("-nostdin -loglevel error -f lavfi -i color=s=64x36:r=25:d=10 -f lavfi -i "
                     "anullsrc=r=48000:cl=mono -map 0:v -c:v mpeg4")
                   << video << words("-map 1:a -t 10 -c:a ac3") << audio) &&
           run(QStringLiteral("/usr/bin/mkvmerge"),
               words("--quiet --output") << output << video << words("--language 0:ger") << audio
                                         << words("--language 0:eng") << audio);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString episode = dir.filePath(QStringLiteral("episode.mkv"));
    if (!dir.isValid() || !makeEpisode(dir, episode)) {
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

    timer.restart();
    for (int i = 0; i < runs; ++i) {
        if (!run(QStringLiteral("/usr/bin/mkvmerge"), {QStringLiteral("-J"), episode})) {
            out << "mkvmerge -J schlug fehl.\n";
            return 1;
        }
    }
    const double plainMs = timer.nsecsElapsed() / 1e6;

    out << QStringLiteral("%1 x MKVInspector::inspect: %2 ms total, %3 ms per call\n")
               .arg(runs)
               .arg(inspectMs, 0, 'f', 1)
               .arg(inspectMs / runs, 0, 'f', 2);
    out << QStringLiteral("%1 x mkvmerge -J:           %2 ms total, %3 ms per call\n")
               .arg(runs)
               .arg(plainMs, 0, 'f', 1)
               .arg(plainMs / runs, 0, 'f', 2);
    out << QStringLiteral("ratio inspect / mkvmerge -J: %1\n").arg(inspectMs / plainMs, 0, 'f', 2);
    return 0;
}
