// Scans generated folders of 1,000 and 10,000 entries and prints how long each scan takes.
// A quarter of the entries are media files, the rest subtitle files, most of them naming an
// episode. The scan should grow linearly: the ratio of the two times should stay near 10.
// For comparison it also times the naive sidecar choice that parses every subtitle name again
// for every media file.

#include "media/FolderScan.h"
#include "media/Naming.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

void fillFolder(const QString &folder, int entries)
{
    const int mediaFiles = entries / 4;
    const auto touch = [&](const QString &name) {
        QFile file(folder + u'/' + name);
        file.open(QIODevice::WriteOnly);
    };
    for (int i = 0; i < mediaFiles; ++i)
        touch(QStringLiteral("Serie S%1E%2 Titel.mkv")
                  .arg(i / 100 + 1)
                  .arg(i % 100, 2, 10, QChar(u'0')));
    for (int i = 0; i < entries - mediaFiles; ++i) {
        const int episode = i % mediaFiles;
        if (i % 10 == 9) // some subtitle files name no episode
            touch(QStringLiteral("Extra %1.srt").arg(i));
        else
            touch(QStringLiteral("Serie S%1E%2.%3.srt")
                      .arg(episode / 100 + 1)
                      .arg(episode % 100, 2, 10, QChar(u'0'))
                      .arg(i));
    }
}

// The best of several runs, in milliseconds.
double scanMilliseconds(const QString &folder, qsizetype &filesFound)
{
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        filesFound = scanFolder(QUrl::fromLocalFile(folder), SourceKind::primary).size();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// The sidecar choice alone, done the naive way: every subtitle name parsed per media file.
double naiveSidecarMilliseconds(const QString &folder)
{
    QStringList media, subtitles;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        (name.endsWith(QStringLiteral(".mkv")) ? media : subtitles) << name;
    }
    QElapsedTimer timer;
    timer.start();
    qsizetype attached = 0;
    for (const QString &mediaName : std::as_const(media)) {
        const auto episode = parseEpisodeID(nameWithoutExtension(mediaName));
        for (const QString &subtitleName : std::as_const(subtitles)) {
            if (episode && parseEpisodeID(nameWithoutExtension(subtitleName)) == episode)
                ++attached;
        }
    }
    return attached >= 0 ? timer.nsecsElapsed() / 1e6 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    double times[2] = {};
    const int sizes[2] = {1000, 10000};
    for (int i = 0; i < 2; ++i) {
        QTemporaryDir folder;
        fillFolder(folder.path(), sizes[i]);
        qsizetype found = 0;
        times[i] = scanMilliseconds(folder.path(), found);
        out << QStringLiteral("scanFolder, %1 entries (%2 media files): %3 ms\n")
                   .arg(sizes[i])
                   .arg(found)
                   .arg(times[i], 0, 'f', 2);
        out << QStringLiteral("  naive sidecar choice alone: %1 ms\n")
                   .arg(naiveSidecarMilliseconds(folder.path()), 0, 'f', 2);
        out.flush();
    }
    out << QStringLiteral("ratio 10,000 / 1,000 entries: %1\n").arg(times[1] / times[0], 0, 'f', 2);
    return 0;
}
