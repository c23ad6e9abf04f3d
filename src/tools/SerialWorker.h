// Running work on a one-thread pool with its result or exception in a future.
#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <exception>
#include <memory>

// Runs `work` on `worker` (a pool of one thread: calls run one at a time, in order). The
// future carries what `work` returns, or the exception it threw.
template <typename Result, typename Work>
QFuture<Result> runOnWorker(QThreadPool &worker, Work work)
{
    // QThreadPool takes a copyable function; the promise itself can only move.
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    worker.start([promise, work = std::move(work)]() mutable {
        try {
            promise->addResult(work());
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    return future;
}
