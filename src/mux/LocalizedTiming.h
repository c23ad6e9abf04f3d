// The timing of folder-2 material: mkvmerge's stretch ratio, a repair's splices, retimed subtitles.
#pragma once

#include "CutRepair.h"
#include "MuxPlan.h"

// mkvmerge's factor for material whose German film time is its own time × `perFile`, undoing
// a drift of `drift` seconds per second.
TimingRatio timingRatio(double perFile, double drift);

// The splices of a repair that is asked for, believable, and has something to splice.
std::optional<SpliceMap> repairSplices(const MuxRequest &request, const TrackSelection &tracks,
                                       double perFile, const ToolDiscovery &tools,
                                       const StopFlag *stop);

// Retimed copies of the German subtitles that follow `splices`; the arguments name them.
void retimeSubtitles(MuxPlan &plan, MkvmergeInputs &inputs, const SpliceMap &splices,
                     double perFile, const QUrl &mkvmerge, const StopFlag *stop);
