// The scheduler that muxes several pairs at once and reports them in table order.
#pragma once

#include "MuxExecutor.h"

#include <QFuture>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Runs the pairs of one batch run, up to `jobs` at once, each on an executor of its own, taken
// in table order. Outcomes are handed on in table order: a pair that ends early waits for the
// pairs before it, so the messages read as those of a run that muxes one pair after another.
class MuxScheduler final : public QObject {
    Q_OBJECT

public:
    // Starts the mux of the pair at `position` on `executor`; `progress` takes its fraction.
    using StartPair = std::function<QFuture<MuxResult>(
        qsizetype position, MuxExecutor &executor, const MuxExecutor::ProgressCallback &progress)>;

    MuxScheduler(const ToolLocations &tools, qsizetype pairCount, int jobs, StartPair startPair);
    ~MuxScheduler() override; // stops the running pairs and waits for their clean-up

    // Starts waiting pairs until `jobs` run or none is left. Called once; each ended pair
    // makes room for the next by itself.
    void start();
    // Terminates every running pair; no further pair starts.
    void cancel();

    QList<qsizetype> runningPositions() const; // in table order
    qsizetype startedCount() const { return m_nextToStart; }
    // The mean of the pairs' fractions, an ended pair counting 1.
    double overallFraction() const;

signals:
    // Pairs started, or a pair ended and no other starts in its place. Emitted before the
    // mux of the started pairs begins.
    void runningChanged();
    void fractionChanged();
    void pairEnded(qsizetype position, const QFuture<MuxResult> &outcome); // in table order
    void finished(); // once: nothing runs and nothing more starts

private:
    struct Slot {
        std::unique_ptr<MuxExecutor> executor;
        std::optional<qsizetype> position; // of the pair it runs
    };

    void run(Slot &slot);
    void endPair(Slot &slot, const QFuture<MuxResult> &outcome);
    void cancelRunning();
    void finishIfIdle();

    StartPair m_startPair;
    std::vector<Slot> m_slots;
    QList<double> m_fractions;
    std::vector<std::optional<QFuture<MuxResult>>> m_outcomes; // ended, not yet handed on
    qsizetype m_nextToStart = 0;
    qsizetype m_nextToHandOn = 0;
    bool m_isStopped = false;
    bool m_hasFinished = false;
};
