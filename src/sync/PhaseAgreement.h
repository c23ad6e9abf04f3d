// Evidence of shared sound, frame by frame, that a louder voice in either track does not drown.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

// Per frame of `frameSamples` samples: how well the spectra of both tracks around the frame's
// centre agree in phase, bin by bin, from -1 to 1. Every bin counts alike however loud it is,
// so the shared room tone between the harmonics of a voice that only one track has still
// matches, and a bin the voice fills only adds chance. Bins far below their average level over
// the tracks count less, and digital silence not at all; so do the first and the last two
// frames, whose windows reach outside the samples.
std::vector<double> phaseAgreement(std::span<const float> first, std::span<const float> second,
                                   std::size_t frameSamples);

// How many samples later than `first` the sound both share runs in `second`, to an eighth of a
// sample, within ±`maxSamples`: where the phases of all frames and bins agree best. Bins count
// alike, so a held note whose waveform repeats every period cannot pull the delay a period
// away. With it, how well they agree there and at no delay, as sums of the frames' agreement.
struct PhaseShift {
    double samples = 0;
    double agreement = 0;
    double agreementUnshifted = 0;
};
PhaseShift bestPhaseShift(std::span<const float> first, std::span<const float> second,
                          std::size_t frameSamples, int maxSamples);

// Neighbouring frames look at overlapping samples, so their chance agreements go together: the
// chance agreement summed over many frames varies this many times as much as independent
// frames' would.
double phaseAgreementOverlap(std::size_t frameSamples);
