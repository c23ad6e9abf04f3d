// A timer on the main thread that keeps the longest gap between its ticks.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <ctime>

// Ticks on the main thread and keeps the longest gap between two ticks, with the processor
// time the thread had in it: a gap the thread spent mostly waiting was the machine's load.
class GapMonitor {
public:
    GapMonitor()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double now = m_clock.nsecsElapsed() / 1e6;
            const double busy = threadMilliseconds();
            if (now - m_last > m_longest) {
                m_longest = now - m_last;
                m_longestBusy = busy - m_lastBusy;
            }
            m_last = now;
            m_lastBusy = busy;
            ++m_ticks;
        });
    }

    void start()
    {
        m_longest = 0;
        m_longestBusy = 0;
        m_ticks = 0;
        m_clock.start();
        m_last = 0;
        m_lastBusy = threadMilliseconds();
        m_timer.start();
    }

    void stop() { m_timer.stop(); }
    double longestMs() const { return m_longest; }
    double longestBusyMs() const { return m_longestBusy; } // the thread's processor time in it
    int ticks() const { return m_ticks; }

private:
    static double threadMilliseconds()
    {
        timespec time{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return time.tv_sec * 1e3 + time.tv_nsec / 1e6;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
    double m_longest = 0;
    double m_lastBusy = 0;
    double m_longestBusy = 0;
    int m_ticks = 0;
};
