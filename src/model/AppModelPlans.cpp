// The application model's snapshot of what a mux run would be given, and one pair's plan from it.
#include "AppModel.h"

#include "MuxRun.h"
#include "PairPlans.h"

std::optional<MuxRunSources> AppModel::muxSources() const
{
    if (!m_outputFolder)
        return std::nullopt;
    MuxRunSources sources{{},
                          m_inspections,
                          m_fingerprints,
                          *m_syncChecks,
                          *m_outputFolder,
                          m_isPitchRestoreEnabled,
                          m_isCutRepairEnabled};
    for (const EpisodePair &pair : m_pairs) {
        if (pair.status == PairStatus::ready)
            sources.readyPairs << pair;
    }
    return sources;
}

QFuture<PairPlanOutcome> AppModel::planPair(const QString &pairId) const
{
    std::optional<MuxRunSources> sources = muxSources();
    if (sources) {
        for (const EpisodePair &pair : std::as_const(sources->readyPairs)) {
            if (pair.id == pairId)
                return planPairs({muxRequestOf(pair, *sources)}, m_tools, m_planStop)
                    .then([](const QList<PairPlanOutcome> &plans) { return plans.first(); });
        }
    }
    return QtFuture::makeReadyFuture(PairPlanOutcome());
}
