#include "Log.h"

#include "Config.h"
#include "DataFiles.h"
#include "PlainText.h"

#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QThread>
#include <QTime>

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
    DataFiles::ensureFolder(Config::directory());
    QFile file(Log::fileURL());
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(bytes);
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
    worker().post([] { QFile::remove(fileURL()); });
}

void flush()
{
    worker().drain();
}

} // namespace Log
