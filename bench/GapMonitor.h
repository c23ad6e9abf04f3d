// A timer on the main thread that keeps the longest gap between its ticks.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

// Ticks on the main thread and keeps the longest gap between two ticks.
class GapMonitor {
public:
    GapMonitor()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double now = m_clock.nsecsElapsed() / 1e6;
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
            ++m_ticks;
        });
    }

    void start()
    {
        m_longest = 0;
        m_ticks = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }

    void stop() { m_timer.stop(); }
    double longestMs() const { return m_longest; }
    int ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
    double m_longest = 0;
    int m_ticks = 0;
};
