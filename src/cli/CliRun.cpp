// The command line's run: analysis, mux, progress, signals, report and exit status.
#include "CliRun.h"

#include "AnalysisReport.h"
#include "model/RemainingTime.h"

#include <QFile>
#include <QFutureWatcher>
#include <QTextStream>
#include <QThread>

#include <algorithm>

namespace {

constexpr int exitStatusOfSignal = 128; // plus the signal's number, as shells report it

bool hasError(const QList<AnalysisIssue> &issues)
{
    return std::any_of(issues.cbegin(), issues.cend(), [](const AnalysisIssue &issue) {
        return issue.severity == AnalysisIssueSeverity::error;
    });
}

// Writes the report to standard output; false when it could not be written completely
// (a full disk, a closed pipe). An incomplete analysis says so right after the pairs, which
// would otherwise all look judged, and says which checks it did not finish.
bool writeReport(const CliArguments &arguments, const QList<EpisodePair> &pairs,
                 QList<AnalysisIssue> issues, bool analysisComplete, bool filesChecked,
                 const AppModel::SyncChecks &syncChecks, const AppModel::Inspections *inspections,
                 const QHash<QString, PairPlanOutcome> *plans,
                 const AppModel::ResultChecks *resultChecks)
{
    if (!analysisComplete)
        issues.prepend(AnalysisIssue(
            AnalysisIssueSeverity::information,
            filesChecked
                ? QStringLiteral("Die Analyse wurde abgebrochen; nicht alle Paare wurden "
                                 "auf Tonversatz geprüft.")
                : QStringLiteral(
                      "Die Analyse wurde abgebrochen; nicht alle Dateien wurden geprüft.")));
    const QByteArray report =
        arguments.json
            ? analysisReportJson(pairs, issues, analysisComplete,
                                 arguments.syncCheck || arguments.restorePitch ? &syncChecks
                                                                               : nullptr,
                                 inspections, plans,
                                 resultChecks)
            : analysisReportText(pairs, issues, inspections, plans).toUtf8();
    QFile out;
    return out.open(stdout, QIODevice::WriteOnly) && out.write(report) == report.size() &&
           out.flush();
}

} // namespace

CliRun::CliRun(CliArguments arguments, const QUrl &primary, const QUrl &localized,
               const std::optional<QUrl> &output)
    : m_arguments(std::move(arguments)), m_model(std::make_unique<AppModel>())
{
    m_model->setPrimaryFolder(primary);
    m_model->setLocalizedFolder(localized);
    m_model->setOutputFolder(output);
    m_model->setSyncCheckEnabled(m_arguments.syncCheck);
    m_model->setPitchRestoreEnabled(m_arguments.restorePitch);
    m_model->setCutRepairEnabled(m_arguments.repairCuts);
    m_model->setMuxJobs(m_arguments.jobs == 0 ? std::min(QThread::idealThreadCount(), maximumJobs)
                                              : m_arguments.jobs);
    AppModel *model = m_model.get();
    connect(model, &AppModel::analysisFinished, this, &CliRun::onAnalysisFinished);
    connect(model, &AppModel::muxFinished, this, &CliRun::onMuxFinished);
    connect(model, &AppModel::analysisProgressChanged, this, &CliRun::showAnalysisProgress);
    // One step changes several properties in a row; the line is written once they all have.
    for (const auto changed :
         {&AppModel::muxProgressChanged, &AppModel::muxFractionChanged, &AppModel::muxETAChanged})
        connect(model, changed, this, &CliRun::showMuxProgress, Qt::QueuedConnection);
    connect(&m_signals, &TerminationSignals::received, this, &CliRun::onTerminationSignal);
}

CliRun::~CliRun() = default;

void CliRun::start()
{
    // From the event loop, so that the end of a run without files is not lost.
    QMetaObject::invokeMethod(m_model.get(), &AppModel::analyze, Qt::QueuedConnection);
}

void CliRun::showAnalysisProgress()
{
    // Counts the sidecar and sync checks as well: the line moves on after the last file.
    const AnalysisProgress progress = m_model->analysisProgress();
    if (progress.step == 0)
        return;
    m_progress.show(QStringLiteral("Analysiere %1 von %2 …").arg(progress.step).arg(progress.steps),
                    QStringLiteral("Analyse"));
}

void CliRun::showMuxProgress()
{
    if (!m_model || !m_model->isMuxing())
        return;
    const QString status = m_model->muxProgress();
    QStringList parts{status};
    if (const std::optional<double> fraction = m_model->muxFraction())
        parts << QStringLiteral("%1 %").arg(qRound(*fraction * 100));
    if (const std::optional<double> eta = m_model->muxETA(); eta && *eta >= 1.0)
        parts << QStringLiteral("Gesamtrestzeit: ") + formatRemainingTime(*eta);
    m_progress.show(parts.join(QStringLiteral(" – ")), status);
}

void CliRun::onAnalysisFinished()
{
    m_progress.finish();
    if (m_model->pairs().isEmpty())
        QTextStream(stderr) << QStringLiteral(
            "In den beiden Ordnern wurde keine Matroska-Datei gefunden.\n");
    if (m_arguments.command == CliArguments::Command::mux && m_stopSignal == 0)
        m_model->startMux();
    else if (m_arguments.command == CliArguments::Command::plan && m_stopSignal == 0)
        planReadyPairs();
    else
        end(m_model->pairs(), m_model->issues(), m_model->syncChecks());
}

void CliRun::onMuxFinished()
{
    m_progress.show(m_model->muxProgress(), m_model->muxProgress()); // "Abgeschlossen", …
    m_progress.finish();
    end(m_model->pairs(), m_model->issues(), m_model->syncChecks());
}

void CliRun::planReadyPairs()
{
    const std::optional<MuxRunSources> sources = m_model->muxSources();
    QList<MuxRequest> requests;
    for (const EpisodePair &pair : sources ? sources->readyPairs : QList<EpisodePair>())
        requests << muxRequestOf(pair, *sources);
    m_progress.show(QStringLiteral("Plane %1 Paare …").arg(requests.size()), QStringLiteral("Plan"));
    // The watcher goes with the run, so a run gone first is never called.
    auto *watcher = new QFutureWatcher<QList<PairPlanOutcome>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        m_progress.finish();
        QHash<QString, PairPlanOutcome> plans;
        for (const PairPlanOutcome &plan : watcher->result())
            plans.insert(plan.pairId, plan);
        watcher->deleteLater();
        end(m_model->pairs(), m_model->issues(), m_model->syncChecks(), &plans);
    });
    watcher->setFuture(planPairs(requests, m_model->tools(), m_planStop));
}

void CliRun::onTerminationSignal(int signalNumber)
{
    if (m_stopSignal != 0)
        return; // the stop is under way; a second signal must not cut its clean-up short
    m_stopSignal = signalNumber;
    // The plans stop at their next tool; the report then follows with those made.
    m_planStop->store(true);
    if (m_model->isMuxing()) {
        // As "Abbrechen" does: every running mkvmerge is terminated, its temporary file removed,
        // and the run ends with its results so far.
        m_model->cancelMux();
        return;
    }
    if (m_model->isAnalyzing()) {
        m_progress.finish();
        const QList<EpisodePair> pairs = m_model->pairs();
        const QList<AnalysisIssue> issues = m_model->issues();
        const AppModel::SyncChecks syncChecks = m_model->syncChecks();
        m_analysisComplete = false;
        m_filesChecked = m_model->analysisProgress().filesChecked;
        m_model.reset(); // the inspector stops its running tool and waits for it
        end(pairs, issues, syncChecks);
    }
}

void CliRun::end(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues,
                 const AppModel::SyncChecks &syncChecks)
{
    end(pairs, issues, syncChecks, nullptr);
}

void CliRun::end(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues,
                 const AppModel::SyncChecks &syncChecks,
                 const QHash<QString, PairPlanOutcome> *plans)
{
    // A stopped analysis left files uninspected that may well be readable.
    // The outputs were checked in a mux run after an analysis with the sync check.
    const bool checkedOutputs = m_model && m_arguments.syncCheck &&
                                m_arguments.command == CliArguments::Command::mux;
    const bool written =
        writeReport(m_arguments, pairs, issues, m_analysisComplete, m_filesChecked, syncChecks,
                    m_analysisComplete ? &m_model->inspections() : nullptr, plans,
                    checkedOutputs ? &m_model->resultChecks() : nullptr);
    if (!written)
        QTextStream(stderr) << QStringLiteral(
            "Der Bericht konnte nicht vollständig geschrieben werden.\n");
    if (m_stopSignal != 0)
        emit finished(exitStatusOfSignal + m_stopSignal);
    else
        emit finished(!written || hasError(issues) ? 1 : 0);
}
