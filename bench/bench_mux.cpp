// Times muxing against mkvmerge alone, in three parts:
// 1. `MuxExecutor::mux` for one PAL pair of a few hundred MB against the same mkvmerge
//    command run on its own: what planning, the option file, progress and the rename add.
// 2. `spurenflechter-cli mux` over several PAL pairs against `mkvmerge -J` on every file
//    followed by the same mkvmerge commands: the whole workflow against the tools alone.
// 3. Finding progress lines in growing output: the incremental scan against decoding and
//    searching the whole output again for every chunk.

#include "BenchSupport.h"
#include "mux/MuxExecutor.h"
#include "mux/ProgressScanner.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int rounds = 3;

std::optional<int> naiveLastPercentage(const QByteArray &whole)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"((?:Progress|Fortschritt):\s*(\d{1,3})%)"),
        QRegularExpression::CaseInsensitiveOption);
    std::optional<int> last;
    auto matches = pattern.globalMatch(QString::fromUtf8(whole));
    while (matches.hasNext())
        last = matches.next().capturedView(1).toInt();
    return last;
}

void benchmarkProgress(QTextStream &out)
{
    for (const int megabytes : {1, 2}) {
        QList<QByteArray> chunks;
        for (qsizetype size = 0, line = 0; size < megabytes * 1024 * 1024; ++line) {
            chunks << QStringLiteral("Progress: %1%\r").arg(line % 100).toUtf8().repeated(256);
            size += chunks.last().size();
        }
        const double incrementalMs = bestMilliseconds(rounds, [&] {
            ProgressScanner scanner;
            for (const QByteArray &chunk : chunks)
                scanner.take(chunk);
        });
        const double naiveMs = bestMilliseconds(1, [&] {
            QByteArray whole;
            for (const QByteArray &chunk : chunks) {
                whole += chunk;
                naiveLastPercentage(whole);
            }
        });
        out << QStringLiteral("progress lines in %1 MiB of output (%2 chunks): incremental "
                              "%3 ms, whole output each chunk %4 ms\n")
                   .arg(megabytes)
                   .arg(chunks.size())
                   .arg(incrementalMs, 0, 'f', 1)
                   .arg(naiveMs, 0, 'f', 1);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;

    // 1. One large pair.
    const QString largePrimary = dir.filePath(QStringLiteral("large-eng.mkv"));
    const QString largeLocalized = dir.filePath(QStringLiteral("large-deu.mkv"));
    if (!makePalPair(largePrimary, largeLocalized, 150, QStringLiteral("1280x720"))) {
        out << "Die Testdateien konnten nicht erzeugt werden.\n";
        return 1;
    }
    const Episode large = episodeOf(largePrimary, largeLocalized);
    const QString output = dir.filePath(QStringLiteral("out"));
    emptyFolder(output);
    out << QStringLiteral("pair of %1 MB + %2 MB\n")
               .arg(QFileInfo(largePrimary).size() / 1e6, 0, 'f', 0)
               .arg(QFileInfo(largeLocalized).size() / 1e6, 0, 'f', 0);
    const AloneCommand largeAlone = aloneCommand(large, output);
    largeAlone.run(); // warms the page cache

    MuxExecutor executor;
    double executorMs = std::numeric_limits<double>::infinity();
    double aloneMs = executorMs;
    for (int i = 0; i < rounds; ++i) {
        // Alternated, so that a busy moment of the machine hits both alike.
        aloneMs = std::min(aloneMs, bestMilliseconds(1, [&] { largeAlone.run(); }));
        executorMs = std::min(executorMs, bestMilliseconds(1, [&] {
                                  QFuture<MuxResult> done =
                                      executor.mux({large.pair, large.primary, large.localized,
                                                    QUrl::fromLocalFile(output)},
                                                   {});
                                  while (!done.isFinished())
                                      QTest::qWait(1);
                              }));
        emptyFolder(output);
    }
    printComparison(out, 1, QStringLiteral("MuxExecutor::mux"), executorMs,
                    QStringLiteral("mkvmerge alone"), aloneMs);

    // 2. The whole command over several pairs.
    constexpr int pairs = 6;
    const QString primaryFolder = dir.filePath(QStringLiteral("eng"));
    const QString localizedFolder = dir.filePath(QStringLiteral("deu"));
    emptyFolder(primaryFolder);
    emptyFolder(localizedFolder);
    const QString primary = dir.filePath(QStringLiteral("eng.mkv"));
    const QString localized = dir.filePath(QStringLiteral("deu.mkv"));
    if (!makePalPair(primary, localized, 30, QStringLiteral("1280x720")))
        return 1;
    QStringList files;
    const QList<Episode> episodes =
        linkSeason(primary, localized, primaryFolder, localizedFolder, pairs, files);
    std::vector<AloneCommand> alone;
    for (const Episode &episode : std::as_const(episodes))
        alone.push_back(aloneCommand(episode, output));
    const QString cli =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../src/cli/spurenflechter-cli");
    double commandMs = std::numeric_limits<double>::infinity();
    double toolsMs = commandMs;
    for (int i = 0; i < rounds; ++i) {
        emptyFolder(output);
        toolsMs = std::min(toolsMs, bestMilliseconds(1, [&] {
                               identifyMilliseconds(files);
                               for (const AloneCommand &command : alone)
                                   command.run();
                           }));
        emptyFolder(output);
        commandMs = std::min(
            commandMs, bestMilliseconds(1, [&] {
                runQuietly(cli, {QStringLiteral("mux"), primaryFolder, localizedFolder, output});
            }));
    }
    if (QDir(output).entryList(QDir::Files).size() != pairs) {
        out << "spurenflechter-cli mux schrieb nicht alle Dateien.\n";
        return 1;
    }
    printComparison(out, pairs, QStringLiteral("spurenflechter-cli mux"), commandMs,
                    QStringLiteral("mkvmerge -J and mkvmerge alone"), toolsMs);

    // 3. Progress lines.
    benchmarkProgress(out);
    return 0;
}
