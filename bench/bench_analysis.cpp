// Times one full analysis of two folders of 50 episodes each through AppModel against running
// `mkvmerge -J` on the same 100 files one after another. Every inspection looks for mkvmerge
// again, `file` run included, so the analysis should take about one and a half times as long.

#include "BenchSupport.h"
#include "model/AppModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

constexpr int episodesPerFolder = 50;

// Copies `episode` into `folder` as S01E01.mkv … S01E50.mkv; returns the copies.
QStringList fillFolder(const QString &episode, const QString &folder)
{
    QStringList files;
    if (!QDir().mkpath(folder))
        return files;
    for (int number = 1; number <= episodesPerFolder; ++number) {
        const QString file =
            folder + QStringLiteral("/S01E%1.mkv").arg(number, 2, 10, QLatin1Char('0'));
        if (!QFile::copy(episode, file))
            return {};
        files << file;
    }
    return files;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString episode = dir.filePath(QStringLiteral("episode.mkv"));
    if (!dir.isValid() || !makeEpisode(episode, 2).isEmpty()) {
        out << "Die Testdatei konnte nicht erzeugt werden.\n";
        return 1;
    }
    const QString primaryFolder = dir.filePath(QStringLiteral("Ordner 1"));
    const QString localizedFolder = dir.filePath(QStringLiteral("Ordner 2"));
    const QStringList files =
        fillFolder(episode, primaryFolder) + fillFolder(episode, localizedFolder);
    if (files.size() != 2 * episodesPerFolder) {
        out << "Die Ordner konnten nicht gefüllt werden.\n";
        return 1;
    }
    identifyMilliseconds({episode}); // warms the caches for both runs

    AppModel model;
    model.setPrimaryFolder(QUrl::fromLocalFile(primaryFolder));
    model.setLocalizedFolder(QUrl::fromLocalFile(localizedFolder));
    const double analysisMs = analysisMilliseconds(model);

    const bool failed =
        std::any_of(model.issues().cbegin(), model.issues().cend(), [](const AnalysisIssue &i) {
            return i.severity == AnalysisIssueSeverity::error;
        });
    if (model.pairs().size() != episodesPerFolder || model.inspections().size() != files.size() ||
        failed) {
        out << "Die Analyse lieferte nicht das erwartete Ergebnis.\n";
        return 1;
    }

    const std::optional<double> plainMs = identifyMilliseconds(files);
    if (!plainMs) {
        out << "mkvmerge -J schlug fehl.\n";
        return 1;
    }

    printComparison(out, files.size(), QStringLiteral("analysis through AppModel"), analysisMs,
                    QStringLiteral("mkvmerge -J"), *plainMs);
    return 0;
}
