// Evidence of shared sound, frame by frame, that a louder voice in either track does not drown.
#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

// The short-time spectra of one track, one around the centre of each frame of `frameSamples`
// samples: made once for a track compared with the other at many lags.
class FrameSpectra {
public:
    FrameSpectra(std::span<const float> samples, std::size_t frameSamples);

    std::size_t frames() const { return m_frames; }
    std::size_t frameSamples() const { return m_frameSamples; }
    // The bins of frame k and those after it.
    const std::complex<float> *from(std::size_t k) const;

private:
    std::size_t m_frameSamples;
    std::size_t m_frames;
    std::vector<std::complex<float>> m_spectra;
};

// Per frame: how well the spectra of both tracks around the frame's centre agree in phase, bin
// by bin, from -1 to 1. Every bin counts alike however loud it is, so the shared room tone
// between the harmonics of a voice that only one track has still matches, and a bin the voice
// fills only adds chance. Bins far below their average level over the tracks count less, and
// digital silence not at all; so do the first and the last two frames, whose windows reach
// outside the samples. Over the frames both have.
std::vector<double> phaseAgreement(const FrameSpectra &first, const FrameSpectra &second);

// Where the sound both tracks share lines up best over `count` frames from frame `firstFrame`
// of each, and how well.
struct PhaseShift {
    // How many samples later it runs in `second`, to an eighth of a sample.
    double samples = 0;
    // The agreement summed over the frames there, and the best within a sample of no shift.
    double agreement = 0;
    double agreementNearUnshifted = 0;
};
// Searches within ±`maxSamples` for where the phases of all frames and bins agree best. Bins
// count alike, so a held note whose waveform repeats every period cannot pull the shift a period
// away.
PhaseShift bestPhaseShift(const FrameSpectra &first, const FrameSpectra &second,
                          std::size_t firstFrame, std::size_t count, int maxSamples);

// Neighbouring frames look at overlapping samples, so their chance agreements go together: the
// chance agreement summed over many frames varies this many times as much as independent
// frames' would.
double phaseAgreementOverlap(std::size_t frameSamples);
