#include "records/Log.h"

#include "records/Config.h"
#include "records/DataFiles.h"
#include "records/PlainText.h"

#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QThread>
#include <QTime>

#include <utility>

namespace {

class LogWorker;
LogWorker &worker();

class LogWorker
{
public:
    LogWorker()
    {
        // Built first, so these locations outlive the worker during exit.
        Log::fileURL();
        Config::directory();
        m_thread.setObjectName(QStringLiteral("vesk.log"));
        m_context.moveToThread(&m_thread);
        m_thread.start();
        qAddPostRoutine([] { worker().stop(); });
    }
    ~LogWorker() { stop(); }

    // Writes what is queued, then ends the thread. Runs while the application object still
    // exists (its post routine), since queued calls are not delivered once it is gone.
    void stop()
    {
        if (!m_thread.isRunning())
            return;
        drain();
        m_thread.quit();
        m_thread.wait();
    }
    bool stopped() const { return m_thread.isFinished(); }

    // After the application object is gone the worker has stopped: the work runs in place.
    template <typename F> void post(F &&work)
    {
        if (stopped())
            work();
        else
            QMetaObject::invokeMethod(&m_context, std::forward<F>(work), Qt::QueuedConnection);
    }
    void drain()
    {
        if (QThread::currentThread() == &m_thread)
            return;
        QMetaObject::invokeMethod(
            &m_context, [] {}, Qt::BlockingQueuedConnection);
    }

private:
    QThread m_thread;
    QObject m_context;
};

LogWorker &worker()
{
    static LogWorker instance;
    return instance;
}

// What the worker thread alone touches: lines that could not be written yet (a full disk), and
// the lines of this run written before the launch emptied the log, which belong to this run too.
constexpr qsizetype keptBytes = 64 * 1024;
QByteArray unwritten;
QByteArray beforeReset;
bool resetDone = false;

// The tail of the text, cut at a line start, so that a bounded buffer never holds half a line.
void bound(QByteArray &text)
{
    if (text.size() <= keptBytes)
        return;
    const qsizetype cut = text.indexOf('\n', text.size() - keptBytes);
    text = cut < 0 ? QByteArray() : text.mid(cut + 1);
}

// Writes the lines that are waiting and then these; what does not reach the disk waits for the
// next line, so that a full disk loses no line once space is free again.
void append(const QByteArray &bytes)
{
    unwritten += bytes;
    DataFiles::ensureFolder(Config::directory());
    if (DataFiles::appendOwnerOnly(Log::fileURL(), unwritten))
        unwritten.clear();
    else
        bound(unwritten);
}

void appendLine(const QString &message)
{
    // Stamped when written, not when queued; QTime's format is locale-independent and 24-hour.
    // Control characters are written out: a line break would forge another entry, and escape
    // sequences would act on the terminal of whoever reads the log.
    const QString line = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) +
                         QLatin1Char(' ') + PlainText::escaped(message) + QLatin1Char('\n');
    const QByteArray bytes = line.toUtf8();
    if (bytes.isEmpty())
        return;
    if (!resetDone) {
        beforeReset += bytes;
        bound(beforeReset);
    }
    append(bytes);
}

void resetFile()
{
    QFile::remove(Log::fileURL());
    unwritten.clear();
    resetDone = true;
    const QByteArray thisRun = std::exchange(beforeReset, QByteArray());
    if (!thisRun.isEmpty())
        append(thisRun);
}

} // namespace

namespace Log {

QString fileURL()
{
    static const QString path = Config::directory() + QStringLiteral("/vesk.log");
    return path;
}

void write(const QString &message)
{
    worker().post([message] { appendLine(message); });
}

void reset()
{
    worker().post([] { resetFile(); });
}

void flush()
{
    worker().drain();
}

} // namespace Log
