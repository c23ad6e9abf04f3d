// A jump's German audio on the English film grid, and whether each side of a placed jump
// follows its own lag in the waveforms.
#pragma once

#include "CutLocation.h"

#include <cstddef>
#include <vector>

// `count` German values on the English grid at `lag`: value n sounds at the film time of
// English sample n plus the lag; zero outside the decoded stretch.
std::vector<float> germanAt(const JumpAudio &audio, const std::vector<float> &german, double lag,
                            std::size_t count);

// Whether the English samples [first, end) follow some other lag than `lag`: a window there
// that matches noticeably, but best a few milliseconds away from it, and clearly worse on it.
// Where the same sound lines up, every such window matches on the lag about as well as at its
// best, which a held note repeats a period away; where a held note only resembles itself at
// another lag, it peaks anywhere within a period. Two cuts between the same segments leave such
// a stretch on one side of any single place.
bool wavesStray(const std::vector<float> &english, const std::vector<float> &german,
                const JumpAudio &audio, double lag, std::size_t first, std::size_t end);
