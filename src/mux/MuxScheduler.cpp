// Starting pairs on free executors and handing on their outcomes in table order.
#include "MuxScheduler.h"

#include <QPointer>

#include <algorithm>
#include <numeric>
#include <utility>

MuxScheduler::MuxScheduler(const ToolLocations &tools, qsizetype pairCount, int jobs,
                           StartPair startPair)
    : m_startPair(std::move(startPair)), m_fractions(pairCount, 0.0),
      m_outcomes(std::size_t(pairCount))
{
    const qsizetype executorCount = std::min<qsizetype>(std::max(jobs, 1), pairCount);
    for (qsizetype i = 0; i < executorCount; ++i)
        m_slots.push_back({std::make_unique<MuxExecutor>(tools), std::nullopt});
}

MuxScheduler::~MuxScheduler()
{
    // All at once; each executor's destructor would otherwise stop its pair only in turn.
    cancelRunning();
}

void MuxScheduler::start()
{
    QList<Slot *> starting;
    for (Slot &slot : m_slots) {
        if (m_isStopped || m_nextToStart == m_fractions.size())
            break;
        if (!slot.position) {
            slot.position = m_nextToStart++;
            starting << &slot;
        }
    }
    if (starting.isEmpty()) {
        finishIfIdle();
        return;
    }
    emit runningChanged();
    for (Slot *slot : std::as_const(starting))
        run(*slot);
    // A cancel from a slot of the notification came before these muxes, each of which starts
    // with its executor's flag cleared.
    if (m_isStopped)
        cancelRunning();
}

void MuxScheduler::cancel()
{
    m_isStopped = true;
    cancelRunning();
}

QList<qsizetype> MuxScheduler::runningPositions() const
{
    QList<qsizetype> positions;
    for (const Slot &slot : m_slots) {
        if (slot.position)
            positions << *slot.position;
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

double MuxScheduler::overallFraction() const
{
    if (m_fractions.isEmpty())
        return 0.0;
    return std::accumulate(m_fractions.cbegin(), m_fractions.cend(), 0.0) / m_fractions.size();
}

void MuxScheduler::run(Slot &slot)
{
    const qsizetype position = *slot.position;
    const QPointer<MuxScheduler> self(this);
    const auto progress = [self, position](double fraction) {
        if (!self)
            return;
        self->m_fractions[position] = fraction;
        emit self->fractionChanged();
    };
    m_startPair(position, *slot.executor, progress)
        .then(this, [this, &slot](QFuture<MuxResult> done) { endPair(slot, done); });
}

void MuxScheduler::endPair(Slot &slot, const QFuture<MuxResult> &outcome)
{
    const qsizetype position = *slot.position;
    slot.position.reset();
    m_outcomes[position] = outcome;
    // A pair stopped by the cancel has not done its work; the run ends without it anyway.
    if (!m_isStopped)
        m_fractions[position] = 1.0;
    while (m_nextToHandOn < m_nextToStart && m_outcomes[m_nextToHandOn]) {
        const QFuture<MuxResult> next = *std::exchange(m_outcomes[m_nextToHandOn], std::nullopt);
        emit pairEnded(m_nextToHandOn++, next);
    }
    emit fractionChanged();
    if (!m_isStopped && m_nextToStart < m_fractions.size()) {
        // Queued: an outcome that was ready before `then` ran arrives synchronously, and a
        // long run of such pairs must not nest one start in the next. The start also tells
        // of the pairs now running.
        QMetaObject::invokeMethod(this, &MuxScheduler::start, Qt::QueuedConnection);
        return;
    }
    if (runningPositions().isEmpty())
        finishIfIdle();
    else
        emit runningChanged();
}

void MuxScheduler::cancelRunning()
{
    for (Slot &slot : m_slots) {
        if (slot.position)
            slot.executor->cancel();
    }
}

void MuxScheduler::finishIfIdle()
{
    if (m_hasFinished || !runningPositions().isEmpty())
        return;
    m_hasFinished = true;
    emit finished();
}
