#pragma once

#include <QtTest>
#include <sys/stat.h>
#include <sys/statvfs.h>

// The tests write their strings as u"..."_s and "..."_ba.
using namespace Qt::StringLiterals;

namespace TestSupport {

// Points VESK_DATA_DIR at a fresh folder of this process, before anything reads the data folder
// (its location is fixed on first use). Returns the folder.
inline QString isolateDataDir()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.path() + u"/data"_s;
        qputenv("VESK_DATA_DIR", QFile::encodeName(p));
        return p;
    }();
    return path;
}

// scripts/test sets VESK_TEST_STRICT: then a missing X server or audio server is a failure, not a
// skip.
inline bool strict()
{
    return !qEnvironmentVariableIsEmpty("VESK_TEST_STRICT");
}
inline QString binaryDir()
{
    return qEnvironmentVariable("VESK_TEST_BINARY_DIR", QDir::currentPath());
}
inline QString sourceDir()
{
    return qEnvironmentVariable("VESK_SOURCE_DIR", QDir::currentPath());
}
// The permission bits of a file, as chmod writes them (0600).
inline int unixMode(const QString &path)
{
    struct stat info
    {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}
// A file's bytes (none when it cannot be read), and a file written whole.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}
// The built vesk-voice executable.
inline QString executable()
{
    return binaryDir() + u"/vesk-voice"_s;
}
// The app's log in its data folder (empty when there is none).
inline QString appLog(const QString &dataDir)
{
    return QString::fromUtf8(readFile(dataDir + u"/vesk.log"_s));
}
// Asks a started program to quit, and kills it when it does not within `timeoutMs`.
inline void stop(QProcess &app, int timeoutMs = 15000)
{
    if (app.state() == QProcess::NotRunning)
        return;
    app.terminate();
    if (!app.waitForFinished(timeoutMs))
        app.kill();
    app.waitForFinished(5000);
}
// This environment for the app: its data folder, the Gemini API at `baseUrl` (a fake server's, or
// a closed port), and no key of the user's.
inline QProcessEnvironment
appEnvironment(const QString &dataDir, const QString &baseUrl = u"http://127.0.0.1:9"_s,
               QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
{
    env.insert(u"VESK_DATA_DIR"_s, dataDir);
    env.insert(u"VESK_GEMINI_BASE_URL"_s, baseUrl);
    env.remove(u"GEMINI_API_KEY"_s);
    return env;
}

// How a program run to its end went: `ended` when it exited by itself in time (not killed, not
// crashed).
struct Run
{
    bool ended = false;
    int code = -1;
    QString out, err;
    bool ok() const { return ended && code == 0; }
};
// Runs a program to its end (or kills it after `timeoutMs`) while this process's event loop keeps
// going, so that a fake server in this process still answers it.
inline Run run(const QString &program, const QStringList &args, const QProcessEnvironment &env,
               int timeoutMs = 30000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    (void)QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs);
    Run result;
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
// The same for the built vesk-voice executable.
inline Run runApp(const QStringList &args, const QProcessEnvironment &env, int timeoutMs = 30000)
{
    return run(executable(), args, env, timeoutMs);
}

// A sentence spoken into a WAV file by espeak-ng, and a file played into the virtual microphone
// (scripts/test's "micfeed"), both in the event loop.
inline bool speak(const QString &path, const QString &text)
{
    return run(u"espeak-ng"_s, {u"-w"_s, path, text}, QProcessEnvironment::systemEnvironment())
        .ok();
}
inline bool
playToMicrophone(const QString &path,
                 const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    return run(u"paplay"_s, {u"-d"_s, u"micfeed"_s, path}, env).ok();
}

// Runs a tool to its end (10 s at most) while this process's event loop keeps going, so that a
// clipboard this process owns is still served; the tool's standard output.
inline QByteArray runServing(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return "<not started>";
    (void)QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000);
    return p.readAllStandardOutput();
}

// A memory disk of `size` ("64k", "1m") mounted over a folder, for the tests of a full disk;
// unmounted again when it goes. Where this machine cannot mount one, `error` says why.
class SmallDisk
{
public:
    SmallDisk(const QString &folder, const QString &size) : m_folder(folder)
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
    ~SmallDisk()
    {
        if (mounted())
            QProcess::execute(u"umount"_s, {u"-l"_s, m_folder});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool mounted() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    // Takes every free block from another process, as a busy program would.
    void fill() const
    {
        QProcess::execute(u"sh"_s,
                          {u"-c"_s, u"cat /dev/zero >>'%1/fill' 2>/dev/null"_s.arg(m_folder)});
    }
    bool full() const
    {
        struct statvfs space
        {};
        return ::statvfs(QFile::encodeName(m_folder).constData(), &space) == 0 &&
               space.f_bavail == 0;
    }

private:
    QString m_folder;
    QString m_error;
};

} // namespace TestSupport

#define VESK_REQUIRE_DISPLAY()                                                                     \
    do {                                                                                           \
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {                                              \
            if (TestSupport::strict())                                                             \
                QFAIL("no X server (DISPLAY is not set)");                                         \
            QSKIP("no X server (DISPLAY is not set)");                                             \
        }                                                                                          \
    } while (false)

// The tests that speak into the virtual microphone need scripts/test's private audio server.
#define VESK_REQUIRE_AUDIO()                                                                       \
    do {                                                                                           \
        if (qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH") && !TestSupport::strict())           \
            QSKIP("no private audio server");                                                      \
    } while (false)
