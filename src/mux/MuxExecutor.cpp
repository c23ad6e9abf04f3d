#include "MuxExecutor.h"

#include "FilmSpeedAudio.h"
#include "MkvmergeOptionFile.h"
#include "MkvmergeWarnings.h"
#include "MuxError.h"
#include "OutputDirectory.h"
#include "ProgressScanner.h"
#include "RemainingTime.h"
#include "tools/SerialWorker.h"
#include "tools/ToolLanguage.h"

#include <QElapsedTimer>
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
MuxResult resultOf(const MuxPlan &plan, const OutputDirectory &folder, const QByteArray &output)
{
    if (!folder.isStillAtItsPath())
        throw MuxError::failed(
            QStringLiteral(
                "Der Ausgabeordner wurde während des Muxens verschoben oder entfernt: ") +
            folder.path());
    MuxResult result = MuxResult::of(plan);
    const QString text = folder.withFolderPath(QString::fromUtf8(output));
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
    m_stop = true;
    m_worker.waitForDone();
}

QFuture<MuxResult>
MuxExecutor::mux(const EpisodePair &pair, const std::optional<MediaInspection> &primary,
                 const std::optional<MediaInspection> &localized, const QUrl &outputFolder,
                 ProgressCallback progress, std::optional<double> localizedOffset,
                 std::optional<SourceFingerprints> seenByAnalysis, bool restorePitch)
{
    // Cleared here rather than on the worker, so that a cancel that comes before the worker
    // has picked the call up still stops it.
    m_stop = false;
    return runOnWorker<MuxResult>(m_worker, [=, this] {
        // Held from here on: whatever happens to the folder's path, the pair writes into the
        // folder it started with, or nowhere.
        const OutputDirectory folder(outputFolder.toLocalFile());
        const QList<QUrl> sources = sourceFilesOf(pair);
        throwIfChanged(sources, seenByAnalysis);
        QElapsedTimer clock;
        clock.start();
        MuxPlan plan = buildMuxPlan(pair, primary, localized, outputFolder, m_discovery,
                                    localizedOffset, &m_stop, restorePitch);
        // A stop during the planning ends the pair before anything is written.
        if (m_stop)
            throw MuxError::cancelled();
        const auto reportPair = [&](double fraction) {
            if (!m_stop)
                report(progress, fraction,
                       linearRemainingSeconds(fraction, clock.nsecsElapsed() / 1e9));
        };
        const double muxStart = plan.audioConversions.isEmpty() ? 0.0 : conversionShare;
        const QStringList encodings =
            convertAudio(plan, [&](double fraction) { reportPair(fraction * conversionShare); });
        const QString temporaryName = fileNameOf(plan.temporaryURL);
        // mkvmerge opens its output by path: the path through the held folder is the one that
        // cannot lead elsewhere.
        plan.arguments[plan.arguments.indexOf(QStringLiteral("--output")) + 1] =
            folder.pathInside(temporaryName);
        auto removeTemporary = qScopeGuard([&] { folder.remove(temporaryName); });

        QByteArray output;
        try {
            output = runMux(
                plan, [&](double fraction) { reportPair(muxStart + fraction * (1 - muxStart)); });
        } catch (const MuxError &error) {
            // A source changed while mkvmerge read it explains the failure better than the tool.
            if (error.kind() != MuxError::Kind::failed)
                throw;
            throwIfChanged(sources, seenByAnalysis);
            throw MuxError::failed(folder.withFolderPath(error.detail()));
        }
        // A source changed while mkvmerge read it gives a file of unknown content.
        throwIfChanged(sources, seenByAnalysis);
        MuxResult result = resultOf(plan, folder, output);
        result.restoredAudioEncodings = encodings;
        report(progress, 1.0, std::nullopt);
        giveOutputName(folder, temporaryName, fileNameOf(plan.outputURL));
        removeTemporary.dismiss();
        return result;
    });
}

void MuxExecutor::cancel()
{
    // The running mux watches the flag and terminates its mkvmerge within a poll interval.
    m_stop = true;
}

void MuxExecutor::report(const ProgressCallback &progress, double fraction,
                         std::optional<double> remaining)
{
    if (!progress)
        return;
    if (QThread::currentThread() == m_callerThread.thread()) {
        progress(fraction, remaining);
        return;
    }
    // Queued to the caller's thread; the run waits for the call so that reports never
    // overlap, but not for ever when the executor is being destroyed.
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        &m_callerThread,
        [progress, fraction, remaining, done] {
            progress(fraction, remaining);
            done->release();
        },
        Qt::QueuedConnection);
    while (!done->tryAcquire(1, pollMilliseconds)) {
        if (m_closing)
            return;
    }
}

QStringList MuxExecutor::convertAudio(const MuxPlan &plan, const FractionCallback &onFraction)
{
    QStringList encodings;
    const qsizetype count = plan.audioConversions.size();
    for (qsizetype i = 0; i < count; ++i) {
        const GermanAudioConversion &conversion = plan.audioConversions.at(i);
        const FilmSpeedRequest request{
            plan.ffmpegURL.toLocalFile(), plan.ffprobeURL.toLocalFile(), conversion.source,
            conversion.audioIndex,        conversion.outputPath,         conversion.sourceSeconds};
        const AudioEncoding encoding = convertToFilmSpeed(
            request, {filmSpeedTimeLimitMilliseconds(conversion.sourceSeconds), &m_stop,
                      [&](double fraction) { onFraction((i + fraction) / count); }});
        encodings << encoding.description();
    }
    return encodings;
}

QByteArray MuxExecutor::runMux(const MuxPlan &plan, const FractionCallback &onFraction)
{
    MkvmergeOptionFile options;
    if (!options.write(plan.arguments))
        throw MuxError::failed(options.errorString());

    ProgressScanner scanner;
    // mkvmerge reads the option file first; the language then applies to all it says.
    const ChildRequest request{plan.mkvmergeURL.toLocalFile(),
                               QStringList{options.argument()} + uiLanguageArguments(),
                               ChildOutput::merged,
                               &m_stop,
                               0,
                               [&](const QByteArray &chunk) {
                                   if (const std::optional<int> percentage = scanner.take(chunk))
                                       onFraction(*percentage / 100.0);
                               }};
    const ChildOutcome outcome = runChild(request);
    // A stop that came as mkvmerge ended still cancels the pair.
    if (outcome.started && (outcome.stopped || m_stop))
        throw MuxError::cancelled();
    // Exit status 1: written, with warnings.
    const bool succeeded = outcome.started && !outcome.signal && !outcome.timedOut &&
                           (outcome.exitCode == 0 || outcome.exitCode == 1);
    if (!succeeded)
        throw MuxError::failed(outcome.exitMessage());
    return outcome.standardOutput;
}
