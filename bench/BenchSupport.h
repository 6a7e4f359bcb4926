#pragma once

// What every bench needs around its measurements: waiting with the event loop running, stopping
// the programs it started, and the median of its runs.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
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

// Uzbek in the Latin alphabet with its turned comma (U+02BB), Russian and English, repeated and
// cut to `length` characters, none of them white space at either end (the app trims those).
inline QString mixedText(int length)
{
    const QString sentences[] = {
        QStringLiteral("Bugun ertalab oʻqituvchi bolalarga yangi kitobdan gʻaroyib ertak oʻqib "
                       "berdi, soʻngra hammasi bogʻga chiqdi. "),
        QStringLiteral("Мы встретились в центре города и долго говорили о погоде, работе, "
                       "книгах и планах на лето. "),
        QStringLiteral("The quick brown fox jumps over the lazy dog, then naps by the river "
                       "until 5 pm! "),
    };
    QString text;
    for (int i = 0; text.size() < length; ++i)
        text += sentences[i % 3];
    text.truncate(length);
    while (text.back().isSpace())
        text.back() = QLatin1Char('.');
    return text;
}

} // namespace Bench
