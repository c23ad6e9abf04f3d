// Times the text extraction of the subtitle duplicate check on a file with four embedded
// subtitle tracks: one mkvextract run for all of them against one run per track. Each run
// reads the whole file, so the longer the file, the more one run saves.

#include "BenchSupport.h"
#include "subtitles/SubtitleDuplicates.h"
#include "support/TestMedia.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <limits>

namespace {

constexpr int rounds = 5;
constexpr double durationSeconds = 90;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    // Video is track 0, the audio tracks 1 and 2, the subtitle tracks 3 to 6.
    TestMediaLayout layout;
    layout.durationSeconds = durationSeconds;
    layout.audio = {TestTrack{.language = QStringLiteral("eng")},
                    TestTrack{.language = QStringLiteral("ger")}};
    layout.subtitles = QList<TestTrack>(4, TestTrack{.language = QStringLiteral("ger")});
    QTemporaryDir dir;
    const QString episode = dir.filePath(QStringLiteral("episode.mkv"));
    if (!dir.isValid() || !makeTestMatroska(episode, layout).isEmpty()) {
        out << "Die Testdatei konnte nicht erzeugt werden.\n";
        return 1;
    }
    QList<MediaTrack> tracks;
    for (qint64 id = 3; id <= 6; ++id)
        tracks.append(MediaTrack{.id = id, .type = TrackType::subtitles});

    const QUrl file = QUrl::fromLocalFile(episode);
    const QUrl mkvextract = QUrl::fromLocalFile(QStringLiteral("/usr/bin/mkvextract"));
    QHash<qint64, QString> together, separately;
    const double oneRunMs = bestMilliseconds(
        rounds, [&] { together = extractSubtitleTexts(tracks, mkvextract, file); });
    const double perTrackMs = bestMilliseconds(rounds, [&] {
        for (const MediaTrack &track : tracks) {
            if (const std::optional<QString> text = extractSubtitleText(track, mkvextract, file))
                separately.insert(track.id, *text);
        }
    });
    if (together.size() != tracks.size() || together != separately) {
        out << "Die Untertitel wurden nicht vollständig gelesen.\n";
        return 1;
    }

    out << QStringLiteral("file: %1 s, %2 KiB, %3 subtitle tracks; best of %4 rounds\n")
               .arg(durationSeconds)
               .arg(QFileInfo(episode).size() / 1024)
               .arg(tracks.size())
               .arg(rounds);
    out << QStringLiteral("one mkvextract run for all tracks: %1 ms\n").arg(oneRunMs, 0, 'f', 1);
    out << QStringLiteral("one mkvextract run per track:      %1 ms\n").arg(perTrackMs, 0, 'f', 1);
    out << QStringLiteral("ratio per track / one run: %1\n").arg(perTrackMs / oneRunMs, 0, 'f', 2);
    return 0;
}
