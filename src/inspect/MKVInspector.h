// The track inspector, which runs one inspection at a time on its own worker.
#pragma once

#include "media/MediaInspection.h"
#include "tools/ChildProcess.h"
#include "tools/SerialWorker.h"
#include "tools/ToolDiscovery.h"

#include <QFuture>
#include <QThreadPool>

// Turns one media file into its track list with mkvmerge, or with ffprobe where no mkvmerge
// is installed. Calls run one at a time on the inspector's own worker thread.
class MKVInspector {
public:
    explicit MKVInspector(ToolLocations locations = ToolLocations::platformDefault());
    ~MKVInspector(); // waits for a running call

    // Runs `inspect` on the worker thread. The future carries the inspection, or the
    // UserFacingError that `inspect` threw.
    QFuture<MediaInspection> inspectAsync(const QUrl &file);
    // Runs `work(*this)` on the worker thread, in turn with the inspections.
    template <typename Result, typename Work>
    QFuture<Result> runInTurn(Work work)
    {
        return runOnWorker<Result>(m_worker, [this, work = std::move(work)] { return work(*this); });
    }

    // Synchronous form; throws MKVInspectorError or PlatformError.
    MediaInspection inspect(const QUrl &file) const;

    const ToolDiscovery &discovery() const { return m_discovery; }

private:
    ToolDiscovery m_discovery;
    StopFlag m_stop{false};
    QThreadPool m_worker;
};
