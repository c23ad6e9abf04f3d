#include "AppModel.h"

#include "analysis/PairRules.h"
#include "inspect/MKVInspector.h"
#include "inspect/UserFacingError.h"
#include "media/FolderScan.h"
#include "media/Pairing.h"

#include <QFuture>

// The state of one analysis run: the files still to inspect and the inspector that does it.
struct AppModel::AnalysisRun {
    explicit AnalysisRun(const ToolLocations &tools) : inspector(tools) {}

    QList<QUrl> files;
    qsizetype next = 0;
    MKVInspector inspector;
};

AppModel::AppModel(ToolLocations tools, QObject *parent)
    : QObject(parent), m_tools(std::move(tools))
{
}

AppModel::~AppModel() = default;

void AppModel::setPrimaryFolder(const std::optional<QUrl> &folder)
{
    assign(m_primaryFolder, folder, &AppModel::primaryFolderChanged);
}

void AppModel::setLocalizedFolder(const std::optional<QUrl> &folder)
{
    assign(m_localizedFolder, folder, &AppModel::localizedFolderChanged);
}

void AppModel::setOutputFolder(const std::optional<QUrl> &folder)
{
    assign(m_outputFolder, folder, &AppModel::outputFolderChanged);
}

void AppModel::analyze()
{
    // A second run on top of a running one would interleave two inspectors' results.
    if (!m_primaryFolder || !m_localizedFolder || m_isAnalyzing)
        return;

    assign(m_isAnalyzing, true, &AppModel::isAnalyzingChanged);
    assign(m_inspections, Inspections(), &AppModel::inspectionsChanged);
    assign(m_issues, QList<AnalysisIssue>(), &AppModel::issuesChanged);

    const QList<MediaFile> primaryFiles = scanFolder(*m_primaryFolder, SourceKind::primary);
    const QList<MediaFile> localizedFiles = scanFolder(*m_localizedFolder, SourceKind::localized);
    assign(m_pairs, pairEpisodes(primaryFiles, localizedFiles), &AppModel::pairsChanged);

    m_analysis = std::make_unique<AnalysisRun>(m_tools);
    for (const EpisodePair &pair : std::as_const(m_pairs)) {
        if (pair.primary)
            m_analysis->files << pair.primary->url;
        if (pair.localized)
            m_analysis->files << pair.localized->url;
    }
    inspectNextFile();
}

void AppModel::startMux() {}

void AppModel::cancelMux() {}

void AppModel::inspectNextFile()
{
    if (m_analysis->next == m_analysis->files.size()) {
        finishAnalysis();
        return;
    }
    const QUrl file = m_analysis->files.at(m_analysis->next++);
    // The worker inspects; the result comes back to the main thread through `this`.
    m_analysis->inspector.inspectAsync(file).then(
        this, [this, file](QFuture<MediaInspection> done) {
            try {
                m_inspections.insert(file, done.result());
                emit inspectionsChanged();
            } catch (...) {
                appendIssue(AnalysisIssue(AnalysisIssueSeverity::error,
                                          fileNameOf(file) + QStringLiteral(": ") +
                                              describeError(std::current_exception())));
            }
            // Queued: a result that was ready before `then` ran arrives synchronously, and a
            // long run of such files must not nest one call in the next.
            QMetaObject::invokeMethod(this, &AppModel::inspectNextFile, Qt::QueuedConnection);
        });
}

void AppModel::finishAnalysis()
{
    evaluatePairs();
    assign(m_isAnalyzing, false, &AppModel::isAnalyzingChanged);
    m_analysis.reset();
    emit analysisFinished();
}

void AppModel::evaluatePairs()
{
    for (AnalysisIssue &issue : ::evaluatePairs(m_pairs, m_inspections))
        appendIssue(std::move(issue));
}

void AppModel::appendIssue(AnalysisIssue issue)
{
    m_issues.append(std::move(issue));
    emit issuesChanged();
}
