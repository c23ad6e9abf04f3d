// mkvmerge's command line for one pair, written from the tracks and files the plan chose.
#pragma once

#include "analysis/TrackSelection.h"

#include <QHash>
#include <QStringList>
#include <QUrl>

#include <memory>

class MarkedUtf16Copies;

// Marked copies of unmarked UTF-16 sidecars that the command names instead of the user's
// files; the copies are removed when the last holder goes.
struct SidecarCopies {
    std::shared_ptr<MarkedUtf16Copies> files;
    QHash<QString, QString> originals; // a copy's path → the user's file it was made from

    // `toolText` with every copy's path written as the user's file.
    QString withOriginalPaths(QString toolText) const;
};

// A factor mkvmerge applies to timestamps, as "numerator/denominator".
struct TimingRatio {
    qint64 numerator = 1;
    qint64 denominator = 1;
    bool isIdentity() const { return numerator == denominator; }
};

struct MkvmergeInputs {
    QString outputPath;
    QString title;
    QUrl primaryFile;   // input 0
    QUrl localizedFile; // input 1
    TrackSelection tracks;
    QList<MediaTrack> keptGermanSubtitles; // of tracks.germanSubtitles, those not replaced
    QList<QUrl> germanSidecars;
    QList<QUrl> englishSidecars;
    // One file per German audio track, converted before the mux; empty when the tracks are
    // taken from the folder-2 file.
    QStringList convertedGermanAudio;
    // Retimed copies of German text subtitles that follow spliced audio: by track id of the
    // folder-2 file, and by sidecar.
    QHash<qint64, QString> retimedGermanSubtitles;
    QHash<QUrl, QString> retimedGermanSidecars;
    TimingRatio localizedRatio; // on folder-2 material: the PAL stretch, a drift
    TimingRatio convertedRatio; // on the converted German audio
    qint64 delayMilliseconds = 0; // added to all folder-2 material, in output time
    // Instead, on subtitles that do not follow the splices; absent: delayMilliseconds.
    std::optional<qint64> unsplicedDelayMilliseconds;
};

// Throws MuxError::failed when a sidecar's marked copy cannot be written into `copies`.
QStringList mkvmergeArguments(const MkvmergeInputs &inputs, SidecarCopies &copies);

// `option` and the tracks' ids ("1,3"), or `noneOption` alone when there are no tracks.
QStringList trackSelectionArguments(const QString &option, const QList<MediaTrack> &tracks,
                                    const QString &noneOption);
