// Runs one pair's mux at a time on a worker thread: conversions, mkvmerge, the final name.
#include "MuxExecutor.h"

#include "FilmSpeedAudio.h"
#include "MkvmergeOptionFile.h"
#include "MkvmergeWarnings.h"
#include "MuxError.h"
#include "OutputDirectory.h"
#include "ProgressScanner.h"
#include "tools/SerialWorker.h"
#include "tools/ToolLanguage.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSemaphore>
#include <QThread>

#include <memory>

using namespace std::chrono_literals;

namespace {

// How often a report waiting for the caller's thread checks whether the executor goes away.
constexpr int pollMilliseconds = 20;
// The part of a pair that converting its German audio takes: three quarters for a 45-minute
// episode of 1 GB with 5.1 AC-3 (bench_pitch); mkvmerge takes the rest.
constexpr double conversionShare = 0.75;

void throwIfChanged(const QList<QUrl> &files, const std::optional<SourceFingerprints> &seen)
{
    if (!seen)
        return;
    if (const std::optional<QUrl> changed = firstChangedFile(files, *seen))
        throw MuxError::sourceChanged(fileNameOf(*changed));
}

// The checks that come after mkvmerge has written the temporary file: it is kept only when
// the folder is still where the user chose it and the output has every planned track.
MuxResult resultOf(const MuxPlan &plan, const OutputDirectory &folder, const QString &text)
{
    if (!folder.isStillAtItsPath())
        throw MuxError::failed(
            QStringLiteral(
                "Der Ausgabeordner wurde während des Muxens verschoben oder entfernt: ") +
            folder.path());
    MuxResult result = MuxResult::of(plan);
    result.warnings = mkvmergeWarnings(text);
    if (std::any_of(result.warnings.cbegin(), result.warnings.cend(), reportsMissingTrack))
        throw MuxError::failed(readableToolMessages(text.toUtf8()));
    return result;
}

// Whatever appeared at the output name while mkvmerge ran stays untouched, and the pair fails.
void giveOutputName(const OutputDirectory &folder, const QString &temporaryName,
                    const QString &outputName)
{
    QString reason;
    switch (folder.moveWithoutReplacing(temporaryName, outputName, reason)) {
    case OutputDirectory::MoveOutcome::moved:
        return;
    case OutputDirectory::MoveOutcome::nameTaken:
        throw MuxError::outputExists(outputName);
    case OutputDirectory::MoveOutcome::failed:
        break;
    }
    throw MuxError::failed(reason);
}

// A tool's text naming the user's files and folder where the tool was given stand-ins.
QString userPaths(const MuxPlan &plan, const OutputDirectory &folder, const QString &toolText)
{
    return plan.sidecarCopies.withOriginalPaths(folder.withFolderPath(toolText));
}

// The arguments name the plan's hidden files by their path in the output folder; the tools
// reach them through the held folder instead.
void routeThroughHeldFolder(MuxPlan &plan, const OutputDirectory &folder, const QString &name)
{
    const QString planned = QDir(QFileInfo(plan.outputURL.toLocalFile()).path()).filePath(name);
    const qsizetype at = plan.arguments.indexOf(planned);
    if (at >= 0)
        plan.arguments[at] = folder.pathInside(name);
}

} // namespace

MuxExecutor::MuxExecutor(ToolLocations tools) : m_discovery(std::move(tools))
{
    m_worker.setMaxThreadCount(1);
}

MuxExecutor::~MuxExecutor()
{
    // Stops a planning step's mkvextract as well as mkvmerge, and keeps a stopped planning
    // from going on to the mux.
    m_closing = true;
    cancel();
    m_worker.waitForDone();
}

QFuture<MuxResult> MuxExecutor::mux(MuxRequest request, ProgressCallback progress)
{
    // Registered here rather than on the worker, so that a cancel that comes before the
    // worker has picked the call up still stops it.
    auto stop = std::make_shared<StopFlag>(false);
    {
        const std::lock_guard lock(m_callsMutex);
        m_calls.push_back(stop);
    }
    return runOnWorker<MuxResult>(m_worker, [=, this, request = std::move(request)] {
        const auto forget = qScopeGuard([&] {
            const std::lock_guard lock(m_callsMutex);
            std::erase(m_calls, stop);
        });
        // Held from here on: whatever happens to the folder's path, the pair writes into the
        // folder it started with, or nowhere.
        const OutputDirectory folder(request.outputFolder.toLocalFile());
        const QList<QUrl> sources = sourceFilesOf(request.pair);
        throwIfChanged(sources, request.seenByAnalysis);
        MuxPlan plan = buildMuxPlan(request, m_discovery, stop.get());
        // A stop during the planning ends the pair before anything is written.
        if (*stop)
            throw MuxError::cancelled();
        const auto reportPair = [&](double fraction) {
            if (!*stop)
                report(progress, fraction);
        };
        // mkvmerge and ffmpeg open their files by path: the path through the held folder is
        // the one that cannot lead elsewhere.
        const QString temporaryName = fileNameOf(plan.temporaryURL);
        QStringList ourFiles{temporaryName};
        for (const GermanAudioConversion &conversion : plan.audio.conversions)
            ourFiles << conversion.fileName;
        for (const QString &name : ourFiles)
            routeThroughHeldFolder(plan, folder, name);
        auto removeOurFiles = qScopeGuard([&] {
            for (const QString &name : ourFiles)
                folder.remove(name);
        });

        const double muxStart = plan.audio.conversions.isEmpty() ? 0.0 : conversionShare;
        QStringList encodings;
        QByteArray output;
        try {
            encodings = convertAudio(plan, folder, *stop, [&](double fraction) {
                reportPair(fraction * conversionShare);
            });
            output = runMux(plan, *stop, [&](double fraction) {
                reportPair(muxStart + fraction * (1 - muxStart));
            });
        } catch (const MuxError &error) {
            // A source changed while a tool read it explains the failure better than the tool.
            if (error.kind() != MuxError::Kind::failed &&
                error.kind() != MuxError::Kind::conversionFailed)
                throw;
            throwIfChanged(sources, request.seenByAnalysis);
            const QString detail = userPaths(plan, folder, error.detail());
            throw error.kind() == MuxError::Kind::failed ? MuxError::failed(detail)
                                                         : MuxError::conversionFailed(detail);
        }
        // A source changed while mkvmerge read it gives a file of unknown content.
        throwIfChanged(sources, request.seenByAnalysis);
        MuxResult result = resultOf(plan, folder, userPaths(plan, folder, QString::fromUtf8(output)));
        result.restoredAudioEncodings = encodings;
        result.restoredPitchKept = !plan.audio.conversions.isEmpty() &&
                                   plan.audio.conversions.first().keepPitch;
        report(progress, 1.0);
        giveOutputName(folder, temporaryName, fileNameOf(plan.outputURL));
        ourFiles.removeOne(temporaryName);
        return result;
    });
}

void MuxExecutor::cancel()
{
    // Each mux watches its flag and terminates its tool within a poll interval.
    const std::lock_guard lock(m_callsMutex);
    for (const std::shared_ptr<StopFlag> &stop : m_calls)
        *stop = true;
}

void MuxExecutor::report(const ProgressCallback &progress, double fraction)
{
    if (!progress)
        return;
    if (QThread::currentThread() == m_callerThread.thread()) {
        progress(fraction);
        return;
    }
    // Queued to the caller's thread; the run waits for the call so that reports never
    // overlap, but not for ever when the executor is being destroyed.
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        &m_callerThread,
        [progress, fraction, done] {
            progress(fraction);
            done->release();
        },
        Qt::QueuedConnection);
    while (!done->tryAcquire(1, pollMilliseconds)) {
        if (m_closing)
            return;
    }
}

QStringList MuxExecutor::convertAudio(const MuxPlan &plan, const OutputDirectory &folder,
                                      const StopFlag &stop, const FractionCallback &onFraction)
{
    QStringList encodings;
    const qsizetype count = plan.audio.conversions.size();
    for (qsizetype i = 0; i < count; ++i) {
        const GermanAudioConversion &conversion = plan.audio.conversions.at(i);
        const FilmSpeedRequest request{plan.audio.ffmpegURL.toLocalFile(),
                                       plan.audio.ffprobeURL.toLocalFile(),
                                       plan.mkvmergeURL.toLocalFile(),
                                       conversion.source,
                                       conversion.trackID,
                                       folder.pathInside(conversion.fileName),
                                       conversion.sourceSeconds,
                                       conversion.toFilmSpeed,
                                       conversion.splices,
                                       conversion.germanPerFile,
                                       conversion.keepPitch};
        const AudioEncoding encoding = convertToFilmSpeed(
            request, {filmSpeedTimeLimitMilliseconds(conversion.sourceSeconds), &stop,
                      [&](double fraction) { onFraction((i + fraction) / count); }});
        // Only a change of speed and pitch is news; a splice has its own note.
        if (conversion.toFilmSpeed)
            encodings << encoding.description();
    }
    return encodings;
}

QByteArray MuxExecutor::runMux(const MuxPlan &plan, const StopFlag &stop,
                               const FractionCallback &onFraction)
{
    MkvmergeOptionFile options;
    if (!options.write(plan.arguments))
        throw MuxError::failed(options.errorString());

    ProgressScanner scanner;
    // mkvmerge reads the option file first; the language then applies to all it says.
    const ChildRequest request{plan.mkvmergeURL.toLocalFile(),
                               QStringList{options.argument()} + uiLanguageArguments(),
                               ChildOutput::merged,
                               &stop,
                               0,
                               [&](const QByteArray &chunk) {
                                   if (const std::optional<int> percentage = scanner.take(chunk))
                                       onFraction(*percentage / 100.0);
                               }};
    const ChildOutcome outcome = runChild(request);
    // A stop that came as mkvmerge ended still cancels the pair.
    if (outcome.started && (outcome.stopped || stop))
        throw MuxError::cancelled();
    // Exit status 1: written, with warnings.
    const bool succeeded = outcome.started && !outcome.signal && !outcome.timedOut &&
                           (outcome.exitCode == 0 || outcome.exitCode == 1);
    if (!succeeded)
        throw MuxError::failed(outcome.exitMessage());
    return outcome.standardOutput;
}
