// Where the time goes between letting go of the hotkey and the text arriving, for a long
// recording against a server that answers at once; and what the idle app costs (start-up to the
// tray icon, resident memory) next to a minimal Qt tray program measured the same way.
//
// Needs an X server with a tray (trayer), a window manager and a PulseAudio server whose default
// source hears the sink "micfeed"; bench/run starts all of them.
#include "BenchSupport.h"
#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "WaveFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sndfile.h>
#include <vector>

namespace {

using Bench::median;
using Bench::stop;
using Bench::waitFor;

Display *display()
{
    static Display *d = XOpenDisplay(nullptr);
    return d;
}

void key(KeySym sym, bool down)
{
    XTestFakeKeyEvent(display(), XKeysymToKeycode(display(), sym), down ? True : False, 0);
    XFlush(display());
}

// Windows under the tray's manager window: an icon that docks adds one.
// The number of other programs' windows the system tray holds: docked icons. The tray's own
// windows share its client's resource id base with the selection owner; an icon is a window of
// another client whose parent is one of the tray's.
int trayWindows()
{
    Display *d = display();
    const Atom selection = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
    const Window owner = XGetSelectionOwner(d, selection);
    if (owner == None)
        return -1;
    const unsigned long clientMask = ~0x1FFFFFul; // the X server's resource id mask
    const auto trays = [&](Window w) { return (w & clientMask) == (owner & clientMask); };
    std::function<int(Window)> count = [&](Window w) {
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(d, w, &root, &parent, &children, &n))
            return 0;
        int total = 0;
        for (unsigned i = 0; i < n; ++i) {
            if (trays(w) && !trays(children[i]))
                ++total;
            total += count(children[i]);
        }
        if (children)
            XFree(children);
        return total;
    };
    return count(DefaultRootWindow(d));
}

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

long rssKiB(qint64 pid)
{
    const QString status = readAll(QStringLiteral("/proc/%1/status").arg(pid));
    const auto m = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(status);
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

// Speech-like bursts (a few harmonics under a syllable envelope) with pauses of 0.5 to 2.5 s
// between them, 16 kHz mono 16-bit, as a dictation with thinking pauses sounds to the trimmer.
bool writeSpeech(const QString &path, double seconds)
{
    const long total = long(seconds * 16000);
    std::vector<short> samples(size_t(total), 0);
    long at = 0;
    int burst = 0;
    while (at < total) {
        const long voiced = 16000 * (2 + burst % 3);
        for (long i = 0; i < voiced && at + i < total; ++i) {
            const double t = double(i) / 16000.0;
            const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 4 * t);
            const double v = std::sin(2 * M_PI * 180 * t) + 0.5 * std::sin(2 * M_PI * 360 * t) +
                             0.25 * std::sin(2 * M_PI * 720 * t);
            samples[size_t(at + i)] = short(6000 * envelope * v);
        }
        at += voiced + 8000 * (1 + burst % 5);
        ++burst;
    }
    return WaveFiles::writeMono16k(path, samples);
}

// Milliseconds since midnight of the first log line at or after `from` that holds `needle`.
int logTime(const QString &log, const QString &needle, int from)
{
    for (const QString &line : log.split(QLatin1Char('\n'))) {
        if (!line.contains(needle))
            continue;
        const QTime t = QTime::fromString(line.left(12), QStringLiteral("HH:mm:ss.zzz"));
        if (t.isValid() && t.msecsSinceStartOfDay() >= from)
            return t.msecsSinceStartOfDay();
    }
    return -1;
}

int now()
{
    return QTime::currentTime().msecsSinceStartOfDay();
}

struct Launch
{
    double startMs = -1;
    long idleKiB = -1;
};

// Start-up to the docked tray icon, then resident memory after three idle seconds.
Launch launch(QProcess &process, const QString &program, const QStringList &args)
{
    Launch result;
    const int before = trayWindows();
    QElapsedTimer clock;
    clock.start();
    process.start(program, args);
    if (!process.waitForStarted() || !waitFor([&] { return trayWindows() > before; }, 20000, 1))
        return result;
    result.startMs = double(clock.nsecsElapsed()) / 1e6;
    waitFor([] { return false; }, 3000, 50);
    result.idleKiB = rssKiB(process.processId());
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    double seconds = 30;
    int runs = 3;
    int launches = 10;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--seconds"))
            seconds = args[i + 1].toDouble();
        else if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--launches"))
            launches = std::max(1, args[i + 1].toInt());
    }
    const QString dir = QCoreApplication::applicationDirPath();
    const QString appPath = dir + QStringLiteral("/../vesk-voice");
    if (!display() || trayWindows() < 0) {
        std::fprintf(stderr, "dictation: needs an X server with a system tray\n");
        return 1;
    }

    QTemporaryDir data, tmp, work;
    FakeGeminiServer server;
    Config c;
    c.apiKey = QStringLiteral("bench-key");
    c.onboardingDone = true;
    c.hotkey = HotkeyKind::fn;
    c.sounds = false;
    c.hudVisible = false;
    c.insertMethod = QStringLiteral("paste");
    c.saveTo(data.filePath(QStringLiteral("config.json")));

    const QString received = work.filePath(QStringLiteral("received.txt"));
    QProcess client;
    client.start(dir + QStringLiteral("/bench_textclient"), {received});
    if (!client.waitForStarted() ||
        !waitFor([&] { return client.readAllStandardOutput().startsWith("ready"); }, 15000)) {
        std::fprintf(stderr, "dictation: the text client did not get the focus\n");
        return 1;
    }

    QProcess vesk;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VESK_DATA_DIR"), data.path());
    env.insert(QStringLiteral("VESK_GEMINI_BASE_URL"), server.baseUrl());
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    env.remove(QStringLiteral("GEMINI_API_KEY"));
    vesk.setProcessEnvironment(env);
    vesk.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString logPath = data.filePath(QStringLiteral("vesk.log"));
    // The peer and the app take turns, each on an idle desktop, so that a slower spell of the
    // machine falls on both; the app's last launch stays for the dictations. Both are ended the
    // same way, killed, and each launch waits for the same quiet second first. Asked to end, the
    // app saves and closes its socket while the peer just dies, and the work of the app's ending
    // woke the machine (its caches, the virtual machine's idle processors) for the peer's launch
    // that followed, even a second later. (The app then finds its old socket and takes it over,
    // as after a crash: a little more work for the app, none for the peer.)
    const auto quiet = [] { waitFor([] { return false; }, 1000, 50); };
    const auto end = [](QProcess &process) {
        process.kill();
        process.waitForFinished(5000);
    };
    std::vector<double> peerMs, veskMs, peerKiB, veskKiB;
    for (int i = 0; i < launches; ++i) {
        const int idleTray = trayWindows();
        QProcess peer;
        quiet();
        const Launch p = launch(peer, dir + QStringLiteral("/tray_peer"), {});
        end(peer);
        // The tray lets go of an icon a moment after its program ends.
        waitFor([&] { return trayWindows() <= idleTray; }, 5000, 10);
        quiet();
        const Launch v = launch(vesk, appPath, {});
        if (v.startMs < 0 ||
            !waitFor(
                [&] { return readAll(logPath).contains(QLatin1String("hotkey monitor watching")); },
                15000)) {
            std::fprintf(stderr,
                         "dictation: the app did not start (icon after %.0f ms), log:\n%s\n",
                         v.startMs, qPrintable(readAll(logPath)));
            return 1;
        }
        peerMs.push_back(p.startMs);
        peerKiB.push_back(double(p.idleKiB));
        veskMs.push_back(v.startMs);
        veskKiB.push_back(double(v.idleKiB));
        if (i + 1 < launches) {
            end(vesk);
            waitFor([&] { return trayWindows() <= idleTray; }, 5000, 10);
        }
    }
    const auto range = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return QStringLiteral("%1-%2").arg(v.front(), 0, 'f', 0).arg(v.back(), 0, 'f', 0);
    };
    std::printf("== start-up to the tray icon, resident memory after 3 s idle (median of %d "
                "launches each, taking turns; range)\n",
                launches);
    std::printf("vesk-voice      %8.1f ms (%s)  %7.0f KiB (%s)\n", median(veskMs),
                qPrintable(range(veskMs)), median(veskKiB), qPrintable(range(veskKiB)));
    std::printf("Qt tray (peer)  %8.1f ms (%s)  %7.0f KiB (%s)\n", median(peerMs),
                qPrintable(range(peerMs)), median(peerKiB), qPrintable(range(peerKiB)));
    if (median(peerMs) > 0 && median(peerKiB) > 0)
        std::printf("ratio           %8.2f     %7.2f\n", median(veskMs) / median(peerMs),
                    median(veskKiB) / median(peerKiB));

    const QString speech = work.filePath(QStringLiteral("speech.wav"));
    if (!writeSpeech(speech, seconds)) {
        std::fprintf(stderr, "dictation: cannot write %s\n", qPrintable(speech));
        return 1;
    }
    std::printf("\n== %.0f s recording, key release to text (ms; median of %d)\n", seconds, runs);
    std::vector<double> stopMs, trimMs, requestMs, insertMs, totalMs;
    QString expected;
    for (int run = 0; run < runs; ++run) {
        const QString text = QStringLiteral("Run %1: salom, привет, hello.").arg(run + 1);
        server.enqueue(200, FakeGeminiServer::generateContentAnswer(text));
        const int started = now();
        key(XK_Control_R, true);
        if (!waitFor(
                [&] {
                    return logTime(readAll(logPath), QStringLiteral("recording started"),
                                   started) >= 0;
                },
                10000)) {
            std::fprintf(stderr, "dictation: the hotkey did not start a recording\n");
            return 1;
        }
        QProcess::execute(QStringLiteral("paplay"),
                          {QStringLiteral("-d"), QStringLiteral("micfeed"), speech});
        const int released = now();
        key(XK_Control_R, false);
        // A dictation that follows the app's own insertion into the same window starts with a
        // space.
        expected += (run > 0 ? QStringLiteral(" ") : QString()) + text;
        if (!waitFor([&] { return readAll(received) == expected; }, 30000, 1)) {
            std::fprintf(stderr, "dictation: the text did not arrive (got \"%s\")\n",
                         qPrintable(readAll(received)));
            return 1;
        }
        const int arrived = now();
        const QString log = readAll(logPath);
        const int recorded = logTime(log, QStringLiteral("recorded "), released);
        const int trimmed = logTime(log, QStringLiteral("trimmed silence in"), recorded);
        const int transcript = logTime(log, QStringLiteral("transcript: Run"), trimmed);
        if (recorded < 0 || trimmed < 0 || transcript < 0) {
            std::fprintf(stderr, "dictation: the log lacks a step\n");
            return 1;
        }
        stopMs.push_back(recorded - released);
        trimMs.push_back(trimmed - recorded);
        requestMs.push_back(transcript - trimmed);
        insertMs.push_back(arrived - transcript);
        totalMs.push_back(arrived - released);
        server.clear();
    }
    std::printf("stop recording  %6.0f\n", median(stopMs));
    std::printf("trim pauses     %6.0f\n", median(trimMs));
    std::printf("request         %6.0f   (read, encode, send, answer from 127.0.0.1)\n",
                median(requestMs));
    std::printf("insert (paste)  %6.0f   (includes the 50 ms before Ctrl+V)\n", median(insertMs));
    std::printf("total           %6.0f\n", median(totalMs));
    stop(vesk);
    stop(client);
    return 0;
}
