// The inspector's worker thread and its choice between mkvmerge and ffprobe.
#include "MKVInspector.h"

#include "FfprobeReader.h"
#include "MKVInspectorError.h"
#include "MkvmergeReader.h"

MKVInspector::MKVInspector(ToolLocations locations) : m_discovery(std::move(locations))
{
    // One call at a time: the tools are cheap to wait for, and callers get results in order.
    m_worker.setMaxThreadCount(1);
}

MKVInspector::~MKVInspector()
{
    // Whoever waited for the result is gone: stop the running tool instead of waiting for it.
    m_stop = true;
    m_worker.waitForDone();
}

QFuture<MediaInspection> MKVInspector::inspectAsync(const QUrl &file)
{
    return runOnWorker<MediaInspection>(m_worker, [this, file] { return inspect(file); });
}

MediaInspection MKVInspector::inspect(const QUrl &file) const
{
    if (const auto mkvmerge = m_discovery.locateMkvmerge())
        return identifyWithMkvmerge(*mkvmerge, file, &m_stop);
    if (const auto ffprobe = m_discovery.locateFfprobe())
        return probeWithFfprobe(*ffprobe, file, &m_stop);
    throw MKVInspectorError::toolNotFound();
}
