// Runs one pair's mux at a time on a worker thread: conversions, mkvmerge, the final name.
#pragma once

#include "MuxPlan.h"
#include "MuxRequest.h"

#include <QFuture>
#include <QObject>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class OutputDirectory;

// Turns one episode pair into one output file with mkvmerge. Calls run one at a time on the
// executor's own worker thread; progress comes back on the thread that created the executor.
class MuxExecutor {
public:
    // The fraction of the pair done.
    using ProgressCallback = std::function<void(double fraction)>;

    explicit MuxExecutor(ToolLocations tools = ToolLocations::platformDefault());
    ~MuxExecutor(); // stops a running mux and waits for it to clean up

    // Builds the plan, converts the German audio where asked (into hidden files in the
    // output folder, part of the pair's progress), runs mkvmerge into a temporary file and
    // renames it to the output name, never replacing a file. The future carries the MuxResult
    // or the MuxError that ended the pair. `progress` is called on the creating thread, in
    // order, and the run waits for each call; that thread must keep its event loop running.
    QFuture<MuxResult> mux(MuxRequest request, ProgressCallback progress);

    // Stops every mux asked for so far, running or still queued: a running mkvmerge or ffmpeg
    // is terminated and each such pair ends with MuxError::cancelled. A mux asked for later
    // runs as usual. Callable from any thread.
    void cancel();

private:
    // The fraction of the whole pair that is done.
    using FractionCallback = std::function<void(double fraction)>;

    // Converts the plan's German audio tracks; returns how each brought to film speed was
    // encoded. `onFraction` gets the fraction of all conversions done.
    QStringList convertAudio(const MuxPlan &plan, const OutputDirectory &folder,
                             const StopFlag &stop, const FractionCallback &onFraction);
    // Runs mkvmerge; returns its output when it wrote the file. The caller removes the file
    // on every other outcome. `onFraction` gets the fraction of the mux done.
    QByteArray runMux(const MuxPlan &plan, const StopFlag &stop, const FractionCallback &onFraction);
    void report(const ProgressCallback &progress, double fraction);

    ToolDiscovery m_discovery;
    std::mutex m_callsMutex;
    std::vector<std::shared_ptr<StopFlag>> m_calls; // one per mux not yet ended
    std::atomic<bool> m_closing{false}; // the executor is going away
    QObject m_callerThread;             // progress is delivered through its thread's event loop
    QThreadPool m_worker;
};
