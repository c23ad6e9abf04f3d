// How quickly the main window opens, and whether it stays responsive while an analysis of
// 300 files (150 episodes in each folder) and then a mux run of the ready pairs go on: a
// timer on the main thread ticks every 5 ms, and the longest gap between two ticks shows
// the longest time the window could not react. It should stay below 50 ms.

#include "BenchSupport.h"
#include "GapMonitor.h"
#include "ContentView.h"
#include "model/AppModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace {

constexpr int episodesPerFolder = 150;

bool fillFolder(const QString &episode, const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    for (int number = 1; number <= episodesPerFolder; ++number) {
        const QString file =
            folder + QStringLiteral("/Serie.S01E%1.mkv").arg(number, 3, 10, QLatin1Char('0'));
        if (!QFile::copy(episode, file))
            return false;
    }
    return true;
}

// Runs the event loop until `done` holds, checking after each `signal` of the model.
template <typename Signal, typename Done> void waitFor(AppModel &model, Signal signal, Done done)
{
    QEventLoop loop;
    QObject::connect(&model, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    if (!done())
        loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);

    QElapsedTimer opening;
    opening.start();
    AppModel model;
    ContentView view(model);
    view.resize(1000, 700);
    view.show();
    while (!view.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents(); // the first frame
    out << QStringLiteral("window open: %1 ms (platform %2)\n")
               .arg(opening.nsecsElapsed() / 1e6, 0, 'f', 1)
               .arg(QGuiApplication::platformName());
    out.flush();

    QTemporaryDir dir;
    const QString episode = dir.filePath(QStringLiteral("episode.mkv"));
    const QString primary = dir.filePath(QStringLiteral("Ordner 1"));
    const QString localized = dir.filePath(QStringLiteral("Ordner 2"));
    const QString output = dir.filePath(QStringLiteral("Ausgabe"));
    if (!dir.isValid() || !makeEpisode(episode, 2).isEmpty() || !fillFolder(episode, primary) ||
        !fillFolder(episode, localized) || !QDir().mkpath(output)) {
        out << "Die Testordner konnten nicht angelegt werden.\n";
        return 1;
    }
    model.setPrimaryFolder(QUrl::fromLocalFile(primary));
    model.setLocalizedFolder(QUrl::fromLocalFile(localized));
    model.setOutputFolder(QUrl::fromLocalFile(output));

    GapMonitor gaps;
    QElapsedTimer run;
    gaps.start();
    run.start();
    model.analyze();
    waitFor(model, &AppModel::isAnalyzingChanged, [&] { return !model.isAnalyzing(); });
    gaps.stop();
    out << QStringLiteral("analysis of %1 files: %2 ms, %3 pairs, %4 issues; longest main-thread "
                          "gap %5 ms over %6 ticks\n")
               .arg(2 * episodesPerFolder)
               .arg(run.nsecsElapsed() / 1e6, 0, 'f', 0)
               .arg(model.pairs().size())
               .arg(model.issues().size())
               .arg(gaps.longestMs(), 0, 'f', 1)
               .arg(gaps.ticks());
    out.flush();

    const qsizetype issuesBefore = model.issues().size();
    gaps.start();
    run.restart();
    model.startMux();
    if (!model.isMuxing()) {
        out << "mux run: ended at once (this build has no mux run)\n";
        return 0;
    }
    waitFor(model, &AppModel::isMuxingChanged, [&] { return !model.isMuxing(); });
    gaps.stop();
    out << QStringLiteral("mux run of %1 pairs: %2 ms, %3 new issues, ended as \"%4\"; longest "
                          "main-thread gap %5 ms over %6 ticks\n")
               .arg(model.pairs().size())
               .arg(run.nsecsElapsed() / 1e6, 0, 'f', 0)
               .arg(model.issues().size() - issuesBefore)
               .arg(model.muxProgress())
               .arg(gaps.longestMs(), 0, 'f', 1)
               .arg(gaps.ticks());
    return 0;
}
