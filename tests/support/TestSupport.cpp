#include "TestSupport.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace TestSupport {

QString isolateDataDir()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.path() + u"/data"_s;
        qputenv("VESK_DATA_DIR", QFile::encodeName(p));
        return p;
    }();
    return path;
}

int unixMode(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

void stop(QProcess &app, int timeoutMs)
{
    if (app.state() == QProcess::NotRunning)
        return;
    app.terminate();
    if (!app.waitForFinished(timeoutMs))
        app.kill();
    app.waitForFinished(5000);
}

QProcessEnvironment appEnvironment(const QString &dataDir, const QString &baseUrl,
                                   QProcessEnvironment env)
{
    env.insert(u"VESK_DATA_DIR"_s, dataDir);
    env.insert(u"VESK_GEMINI_BASE_URL"_s, baseUrl);
    env.remove(u"GEMINI_API_KEY"_s);
    return env;
}

Run run(const QString &program, const QStringList &args, const QProcessEnvironment &env,
        int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    (void)QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs);
    Run result;
    result.ms = clock.elapsed();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
    } else if (p.exitStatus() == QProcess::NormalExit && p.error() != QProcess::FailedToStart) {
        result.ended = true;
        result.code = p.exitCode();
    }
    result.out = QString::fromUtf8(p.readAllStandardOutput());
    result.err = QString::fromUtf8(p.readAllStandardError());
    return result;
}

QByteArray runServing(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return "<not started>";
    (void)QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000);
    return p.readAllStandardOutput();
}

SmallDisk::SmallDisk(const QString &folder, const QString &size) : m_folder(folder)
{
    QDir().mkpath(folder);
    QProcess mount;
    mount.start(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=%1,mode=0700"_s.arg(size),
                             u"tmpfs"_s, folder});
    if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit ||
        mount.exitCode() != 0)
        m_error = u"a small disk cannot be mounted here (mount: %1)"_s.arg(
            QString::fromLocal8Bit(mount.readAllStandardError()).trimmed());
}

SmallDisk::~SmallDisk()
{
    if (mounted())
        QProcess::execute(u"umount"_s, {u"-l"_s, m_folder});
}

void SmallDisk::fill() const
{
    QProcess::execute(u"sh"_s, {u"-c"_s, u"cat /dev/zero >>'%1/fill' 2>/dev/null"_s.arg(m_folder)});
}

bool SmallDisk::full() const
{
    struct statvfs space
    {};
    return ::statvfs(QFile::encodeName(m_folder).constData(), &space) == 0 && space.f_bavail == 0;
}

} // namespace TestSupport
