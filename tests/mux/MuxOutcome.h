// How one mux ended, collected for the mux tests to compare.
#pragma once

#include "mux/MuxError.h"
#include "mux/MuxExecutor.h"

#include <QTest>

// How one mux ended: its result, or the error that ended the pair.
struct MuxOutcome {
    std::optional<MuxResult> result;
    QString error; // the user's text of the error that ended the pair
    std::optional<MuxError::Kind> errorKind;
    QList<double> fractions; // as the progress callback received them
};

// Runs the mux of `request` and keeps the event loop going until it has ended; `onProgress`
// runs inside the progress callback.
inline MuxOutcome muxAndWait(MuxExecutor &executor, MuxRequest request,
                             const std::function<void()> &onProgress = {},
                             int timeoutMilliseconds = 60000)
{
    MuxOutcome outcome;
    QFuture<MuxResult> future = executor.mux(std::move(request), [&](double fraction) {
        outcome.fractions << fraction;
        if (onProgress)
            onProgress();
    });
    if (!QTest::qWaitFor([&] { return future.isFinished(); }, timeoutMilliseconds))
        qFatal("the mux did not end");
    try {
        outcome.result = future.result();
    } catch (const MuxError &error) {
        outcome.error = error.errorDescription();
        outcome.errorKind = error.kind();
    }
    return outcome;
}

// The same for one pair with what the analysis learned of it.
inline MuxOutcome muxAndWait(MuxExecutor &executor, const EpisodePair &pair,
                             const std::optional<MediaInspection> &primary,
                             const std::optional<MediaInspection> &localized,
                             const QString &outputFolder,
                             const std::function<void()> &onProgress = {},
                             const std::optional<SourceFingerprints> &seenByAnalysis = {},
                             std::optional<double> localizedOffset = {}, bool restorePitch = false,
                             bool localizedPitchKept = false)
{
    MuxRequest request{pair, primary, localized, QUrl::fromLocalFile(outputFolder),
                       localizedOffset ? std::optional(SyncCorrection{*localizedOffset})
                                       : std::nullopt,
                       seenByAnalysis, restorePitch};
    request.localizedPitchKept = localizedPitchKept;
    return muxAndWait(executor, std::move(request), onProgress);
}
