// What one pair's mux is asked to do: the pair, what the analysis learned of it, and where to.
#pragma once

#include "media/EpisodePair.h"
#include "media/FileFingerprint.h"
#include "media/MediaInspection.h"
#include "sync/SyncCorrection.h"

#include <QUrl>

#include <optional>

struct MuxRequest {
    EpisodePair pair;
    std::optional<MediaInspection> primary;   // of the folder-1 file
    std::optional<MediaInspection> localized; // of the folder-2 file
    QUrl outputFolder;
    // How the German audio was measured against the video; its offset (positive: the German
    // audio sounds late) and drift are undone on all folder-2 material.
    std::optional<SyncCorrection> localizedCorrection;
    // The fingerprints of the pair's files when they were analysed; a file changed since
    // then, or while mkvmerge reads it, fails the pair.
    std::optional<SourceFingerprints> seenByAnalysis;
    // On a PAL pair, the German audio tracks are converted to film speed and pitch rather
    // than stretched; the subtitles keep the stretch.
    bool restorePitch = false;
    // The German audio is spliced at the measured cuts of `localizedCorrection`, and the
    // German subtitles follow; else only the offset before the first cut is undone.
    bool repairCuts = false;
    // The German audio was heard at the film's pitch already: it is restored in tempo only.
    bool localizedPitchKept = false;
};
