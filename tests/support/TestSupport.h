#pragma once

#include <QtTest>

// The tests write their strings as u"..."_s and "..."_ba.
using namespace Qt::StringLiterals;

namespace TestSupport {

// Points VESK_DATA_DIR at a fresh folder of this process, before anything reads the data folder
// (its location is fixed on first use). Returns the folder.
QString isolateDataDir();

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
int unixMode(const QString &path);
// A file's bytes (none when it cannot be read), and a file written whole.
QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);
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
void stop(QProcess &app, int timeoutMs = 15000);
// This environment for the app: its data folder, the Gemini API at `baseUrl` (a fake server's, or
// a closed port), and no key of the user's.
QProcessEnvironment
appEnvironment(const QString &dataDir, const QString &baseUrl = u"http://127.0.0.1:9"_s,
               QProcessEnvironment env = QProcessEnvironment::systemEnvironment());

// How a program run to its end went: `ended` when it exited by itself in time (not killed, not
// crashed).
struct Run
{
    bool ended = false;
    int code = -1;
    QString out, err;
    qint64 ms = 0;
    bool ok() const { return ended && code == 0; }
};
// Runs a program to its end (or kills it after `timeoutMs`) while this process's event loop keeps
// going, so that a fake server in this process still answers it.
Run run(const QString &program, const QStringList &args, const QProcessEnvironment &env,
        int timeoutMs = 30000);
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
QByteArray runServing(const QString &program, const QStringList &args);

// A memory disk of `size` ("64k", "1m") mounted over a folder, for the tests of a full disk;
// unmounted again when it goes. Where this machine cannot mount one, `error` says why.
class SmallDisk
{
public:
    SmallDisk(const QString &folder, const QString &size);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool mounted() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    // Takes every free block from another process, as a busy program would.
    void fill() const;
    bool full() const;

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
