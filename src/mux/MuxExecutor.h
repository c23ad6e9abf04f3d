#pragma once

#include "media/FileFingerprint.h"
#include "MuxPlan.h"

#include <QFuture>
#include <QObject>
#include <QThreadPool>

#include <functional>

// Turns one episode pair into one output file with mkvmerge. Calls run one at a time on the
// executor's own worker thread; progress comes back on the thread that created the executor.
class MuxExecutor {
public:
    // The fraction of the pair done, and the estimated seconds the pair still needs.
    using ProgressCallback = std::function<void(double fraction, std::optional<double> remaining)>;

    explicit MuxExecutor(ToolLocations tools = ToolLocations::platformDefault());
    ~MuxExecutor(); // stops a running mux and waits for it to clean up

    // Builds the plan, runs mkvmerge into a temporary file and renames it to the output name,
    // never replacing a file. The future carries the MuxResult or the MuxError that ended the
    // pair. `progress` is called on the creating thread, in order, and the run waits for each
    // call; that thread must keep its event loop running.
    // `localizedOffset` is a measured offset of the German audio to undo (see buildMuxPlan).
    // `seenByAnalysis`: the fingerprints of the pair's files when they were analysed; a file
    // changed since then, or while mkvmerge reads it, fails the pair.
    // `restorePitch`: a PAL pair's German audio tracks are first converted to film speed and
    // pitch with ffmpeg (see buildMuxPlan); the conversion is part of the pair's progress.
    QFuture<MuxResult> mux(const EpisodePair &pair, const std::optional<MediaInspection> &primary,
                           const std::optional<MediaInspection> &localized,
                           const QUrl &outputFolder, ProgressCallback progress,
                           std::optional<double> localizedOffset = {},
                           std::optional<SourceFingerprints> seenByAnalysis = {},
                           bool restorePitch = false);

    // Stops the running mux at once: its mkvmerge is terminated and the pair ends with
    // MuxError::cancelled. Without a running mux it only sets a flag that the next mux clears.
    // Callable from any thread.
    void cancel();

private:
    // The fraction of the whole pair that is done, reported with the remaining time.
    using FractionCallback = std::function<void(double fraction)>;

    // Converts the plan's German audio tracks; returns how each was encoded. `onFraction`
    // gets the fraction of all conversions done.
    QStringList convertAudio(const MuxPlan &plan, const FractionCallback &onFraction);
    // Runs mkvmerge; returns its output when it wrote the file. The caller removes the file
    // on every other outcome. `onFraction` gets the fraction of the mux done.
    QByteArray runMux(const MuxPlan &plan, const FractionCallback &onFraction);
    void report(const ProgressCallback &progress, double fraction, std::optional<double> remaining);

    ToolDiscovery m_discovery;
    StopFlag m_stop{false};             // set by cancel() and by the destructor
    std::atomic<bool> m_closing{false}; // the executor is going away
    QObject m_callerThread;             // progress is delivered through its thread's event loop
    QThreadPool m_worker;
};
