// The application model's snapshot of what a mux run would be given, and one pair's plan from it.
#include "AppModel.h"

#include "MuxRun.h"
#include "PairPlans.h"

#include <algorithm>

std::optional<MuxRunSources> AppModel::sourcesWithoutPairs() const
{
    if (!m_outputFolder)
        return std::nullopt;
    return MuxRunSources{{},
                         m_inspections,
                         m_fingerprints,
                         *m_syncChecks,
                         *m_outputFolder,
                         m_isPitchRestoreEnabled,
                         m_isCutRepairEnabled};
}

std::optional<MuxRunSources> AppModel::muxSources() const
{
    std::optional<MuxRunSources> sources = sourcesWithoutPairs();
    if (!sources)
        return std::nullopt;
    for (const EpisodePair &pair : m_pairs) {
        if (pair.status == PairStatus::ready)
            sources->readyPairs << pair;
    }
    return sources;
}

QFuture<PairPlanOutcome> AppModel::planPair(const QString &pairId) const
{
    // Asked on every selection in a long table: only this pair is copied, not all of them.
    const auto pair = std::find_if(m_pairs.cbegin(), m_pairs.cend(), [&](const EpisodePair &p) {
        return p.id == pairId && p.status == PairStatus::ready;
    });
    const std::optional<MuxRunSources> sources = sourcesWithoutPairs();
    if (!sources || pair == m_pairs.cend())
        return QtFuture::makeReadyFuture(PairPlanOutcome());
    return planPairs({muxRequestOf(*pair, *sources)}, m_tools, m_planStop)
        .then([](const QList<PairPlanOutcome> &plans) { return plans.first(); });
}
