// Where the external tools are looked for.
#pragma once

#include <QString>
#include <QStringList>

// Where the external tools are looked for. The places are fixed per platform; tests hand
// the inspector other places through this value.
struct ToolLocations {
    QString bundledMkvmerge;         // shipped with the application; used without a check
    QStringList mkvmergeCandidates;  // tried in order, each with the architecture check
    QStringList ffprobeCandidates;   // tried in order, no architecture check
    QString fileCommand;             // the system's `file`, for the architecture check
    QStringList architectureMarkers; // a candidate passes when `file` names one of these
    QStringList ffmpegCandidates;    // for the audio sync check; tried like ffprobe

    static ToolLocations platformDefault();
};
