#pragma once

// What every bench needs around its measurements: waiting with the event loop running, stopping
// the programs it started, and the median of its runs.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <functional>
#include <vector>

namespace Bench {

// Runs the event loop until `done` holds or the time is up, resting sleepMs between turns (0 for
// the closest timing, at the cost of a busy core).
inline bool waitFor(const std::function<bool()> &done, int timeoutMs, int sleepMs = 2)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (sleepMs > 0)
            QThread::msleep(sleepMs);
    }
    return true;
}

// Asks a program to end, and kills it when it does not within 5 s.
inline void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(2000);
}

// The middle run (the mean of the two middle ones for an even count); -1 for no runs, which no
// time can be.
inline double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

} // namespace Bench
