// Checking a cut's place against the onsets on either side of it.
#pragma once

#include "CutLocation.h"

// A place is judged this far from the stretches it divides.
inline constexpr double sideSeconds = 1;

// Whether a few seconds of the stretch wholly before `boundary` or after `resumes` (English
// film time; between them lies English material the German release lacks) match the German
// track clearly at the other side's lag: then the lag does not change there. Onsets are
// compared rather than waveforms, since a held note matches its own waveform at many lags,
// and its onsets at the other side's lag hardly ever.
bool onsetsContradict(const JumpAudio &audio, double from, double to, double boundary,
                      double resumes);
