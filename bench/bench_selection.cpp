// Whether the window stays responsive while the user walks a 500-pair table row by row: each
// selection asks for the pair's plan, which is built off the main thread. A row is selected
// every 20 ms, as a held arrow key does; a timer on the main thread ticks every 5 ms, and the
// longest gap between two ticks shows the longest time the window could not react. It should
// stay below 50 ms; the thread's own work in that gap tells the window's share from the load's.

#include "BenchSupport.h"
#include "ContentView.h"
#include "GapMonitor.h"
#include "model/AppModel.h"
#include "PairDetail.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>

namespace {

constexpr int pairCount = 500;

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString episode = dir.filePath(QStringLiteral("episode.mkv"));
    const QString primary = dir.filePath(QStringLiteral("Ordner 1"));
    const QString localized = dir.filePath(QStringLiteral("Ordner 2"));
    const QString output = dir.filePath(QStringLiteral("Ausgabe"));
    bool made = dir.isValid() && makeEpisode(episode, 2).isEmpty() && QDir().mkpath(primary) &&
                QDir().mkpath(localized) && QDir().mkpath(output);
    for (int number = 1; made && number <= pairCount; ++number) {
        const QString name = QStringLiteral("/S01E%1.mkv").arg(number, 3, 10, QLatin1Char('0'));
        made = QFile::link(episode, primary + name) && QFile::link(episode, localized + name);
    }
    if (!made) {
        out << "Die Testordner konnten nicht angelegt werden.\n";
        return 1;
    }

    AppModel model;
    ContentView view(model);
    view.resize(1000, 760);
    view.show();
    while (!view.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    model.setPrimaryFolder(QUrl::fromLocalFile(primary));
    model.setLocalizedFolder(QUrl::fromLocalFile(localized));
    model.setOutputFolder(QUrl::fromLocalFile(output));
    out << QStringLiteral("analysis of %1 files: %2 ms\n")
               .arg(2 * pairCount)
               .arg(analysisMilliseconds(model), 0, 'f', 0);
    out.flush();

    QTableView *table = view.pairTable();
    QSignalSpy shown(view.pairDetail(), &PairDetail::planShown);
    GapMonitor gaps;
    QElapsedTimer run;
    QEventLoop loop;
    QTimer step;
    int row = 0;
    QObject::connect(&step, &QTimer::timeout, &loop, [&] {
        table->selectRow(row++);
        if (row == table->model()->rowCount())
            step.stop();
    });
    // The last row's plan ends the walk.
    QObject::connect(view.pairDetail(), &PairDetail::planShown, &loop, [&] {
        if (!step.isActive())
            loop.quit();
    });
    gaps.start();
    run.start();
    step.start(20);
    loop.exec();
    gaps.stop();
    out << QStringLiteral("selecting %1 rows one after another: %2 ms, %3 plans shown; longest "
                          "main-thread gap %4 ms (%5 ms of it working) over %6 ticks\n")
               .arg(row)
               .arg(run.nsecsElapsed() / 1e6, 0, 'f', 0)
               .arg(shown.size())
               .arg(gaps.longestMs(), 0, 'f', 1)
               .arg(gaps.longestBusyMs(), 0, 'f', 1)
               .arg(gaps.ticks());
    return 0;
}
