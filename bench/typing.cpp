// Typing a long mixed-script transcript into a real Qt text field: the app's typing insertion
// against `xdotool type --delay 0`, each into a fresh empty field, timed from the start to the
// field holding the whole text, and checked character for character. Then a short dictation
// into Qt and Tk fields while two busy loops load the machine: how often each typer is exact.
//
// Needs an X server with a window manager that gives new windows the focus; bench/run starts one.
#include "BenchSupport.h"
#include "desktop/KeyPoster.h"
#include "desktop/TextInjector.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <poll.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bench::median;
using Bench::stop;
using Bench::waitFor;

constexpr int length = 500;
constexpr qint64 timeoutMs = 60000;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A key on the base keymap whose character the text lacks, pressed once the typer is done: the
// client reads keys in order, so when it shows up the client has read everything before it.
constexpr KeySym sentinelKey = XK_grave;
const QChar sentinel = QLatin1Char('`');

// Watches the client's file from a thread of its own, woken by the client renaming each new
// version into place, so that neither a typer blocking the main thread nor polling delays or
// slows anything.
class Watcher
{
public:
    Watcher(const QString &path, const QString &expected)
        : m_fd(inotify_init1(IN_CLOEXEC)), m_thread([this, path, expected] {
              inotify_add_watch(m_fd, QFile::encodeName(QFileInfo(path).path()).constData(),
                                IN_MOVED_TO | IN_CLOSE_WRITE);
              QString last;
              for (;;) {
                  const QString now = readAll(path);
                  if (now != last) {
                      last = now;
                      if (now.endsWith(sentinel)) {
                          m_caughtUpNs = nowNs();
                          return;
                      }
                      m_lastChangeNs = nowNs();
                      if (now == expected)
                          m_arrivedNs = m_lastChangeNs.load();
                  }
                  pollfd p{m_fd, POLLIN, 0};
                  while (!m_stop && poll(&p, 1, 20) == 0) {
                  }
                  if (m_stop)
                      return;
                  char buffer[4096];
                  [[maybe_unused]] const ssize_t n = read(m_fd, buffer, sizeof buffer);
              }
          })
    {}
    ~Watcher()
    {
        m_stop = true;
        m_thread.join();
        close(m_fd);
    }
    qint64 arrivedNs() const { return m_arrivedNs; }
    qint64 lastChangeNs() const { return m_lastChangeNs; }
    qint64 caughtUpNs() const { return m_caughtUpNs; }

private:
    int m_fd;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_arrivedNs{-1};
    std::atomic<qint64> m_lastChangeNs{-1};
    std::atomic<qint64> m_caughtUpNs{-1};
    std::thread m_thread;
};

Window focusedWindow(Display *d)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    return focus;
}

// A fresh text client that holds the keyboard focus. The window manager gives it the focus only
// after it has worked through the keymap changes of the run before, which after xdotool takes it
// many seconds; so this also waits for the desktop to be idle again.
bool startClient(QProcess &client, const QStringList &command, const QString &file, Display *d)
{
    QFile::remove(file);
    client.start(command.first(), command.mid(1) + QStringList{file});
    QByteArray said;
    if (!client.waitForStarted() ||
        !waitFor([&] { return (said += client.readAllStandardOutput()).contains('\n'); }, 120000) ||
        !said.startsWith("ready "))
        return false;
    const Window window = Window(said.mid(6).trimmed().toULongLong());
    // Toolkits put the focus on the window, on a frame of theirs around it (Tk) or inside it.
    const auto above = [d](Window from, Window wanted) {
        for (Window w = from; w != None;) {
            if (w == wanted)
                return true;
            Window root = None, parent = None, *children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(d, w, &root, &parent, &children, &count))
                return false;
            if (children)
                XFree(children);
            w = parent == root ? None : parent;
        }
        return false;
    };
    return waitFor(
        [&] {
            const Window focus = focusedWindow(d);
            return focus > PointerRoot && (above(window, focus) || above(focus, window));
        },
        10000);
}

struct Result
{
    double ms = -1;
    bool exact = false;
    bool timedOut = false;
    QString got;
};

// Runs `type`, which returns once the typer is done (the text may well still be on its way),
// presses the sentinel key and waits for it. The time is the whole text's arrival, or the last
// change before the sentinel when the text is wrong. No events are handled here: this process
// should cost the desktop nothing while it is measured.
Result measure(Display *d, const QString &file, const QString &expected,
               const std::function<void()> &type)
{
    Result r;
    const qint64 start = nowNs();
    const qint64 deadline = start + timeoutMs * 1000000;
    {
        Watcher watcher(file, expected);
        type();
        const unsigned code = XKeysymToKeycode(d, sentinelKey);
        XTestFakeKeyEvent(d, code, True, CurrentTime);
        XTestFakeKeyEvent(d, code, False, CurrentTime);
        XFlush(d);
        while (watcher.caughtUpNs() < 0 && nowNs() < deadline)
            QThread::msleep(1);
        r.timedOut = watcher.caughtUpNs() < 0;
        r.got = readAll(file);
        if (r.got.endsWith(sentinel))
            r.got.chop(1);
        r.exact = r.got == expected;
        const qint64 end = r.exact && watcher.arrivedNs() >= 0 ? watcher.arrivedNs()
                           : r.timedOut                        ? deadline
                                                               : watcher.lastChangeNs();
        r.ms = end >= start ? double(end - start) / 1e6 : -1;
    }
    return r;
}

// Each run's time and what arrived: "exact", or how many characters and where they first differ.
QString runDetails(const std::vector<Result> &results, const QString &expected)
{
    QStringList parts;
    for (const Result &r : results) {
        QString what = QStringLiteral("exact");
        if (!r.exact) {
            int at = 0;
            while (at < r.got.size() && at < expected.size() && r.got[at] == expected[at])
                ++at;
            what = QStringLiteral("%1 characters, wrong from %2%3")
                       .arg(r.got.size())
                       .arg(at)
                       .arg(r.timedOut ? QStringLiteral(", timed out") : QString());
        }
        parts << QStringLiteral("%1 (%2)").arg(r.ms, 0, 'f', 0).arg(what);
    }
    return parts.join(QStringLiteral(", "));
}

void report(const char *name, const std::vector<Result> &results, const QString &expected)
{
    std::vector<double> ms;
    int exact = 0;
    for (const Result &r : results) {
        ms.push_back(r.ms);
        exact += r.exact ? 1 : 0;
    }
    std::printf("%-18s %8.0f   %d of %zu exact\n", name, median(ms), exact, results.size());
    std::printf("%-18s runs: %s\n", "", qPrintable(runDetails(results, expected)));
}

int exactCount(const std::vector<Result> &results)
{
    return int(
        std::count_if(results.begin(), results.end(), [](const Result &r) { return r.exact; }));
}

// Two busy loops, one per core of the machine the bench was written on, for as long as it lives.
struct BusyLoops
{
    QProcess loops[2];
    BusyLoops()
    {
        for (QProcess &loop : loops)
            loop.start(QStringLiteral("sh"),
                       {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
    }
    ~BusyLoops()
    {
        for (QProcess &loop : loops)
            stop(loop);
    }
};

// One run of one typer (0: the app, 1: xdotool) into the focused field.
Result typeOnce(Display *d, TextInjector &injector, const QString &file, const QString &text,
                int tool)
{
    if (tool == 0) {
        return measure(d, file, text, [&] {
            injector.insert(text, QStringLiteral("type"), QStringLiteral("shiftReturn"));
        });
    }
    QProcess typer;
    typer.setProcessChannelMode(QProcess::ForwardedChannels);
    const Result r = measure(d, file, text, [&] {
        typer.start(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"),
                                                QStringLiteral("0"), QStringLiteral("--"), text});
        typer.waitForFinished(int(timeoutMs));
    });
    stop(typer);
    return r;
}

// The same short dictation, typed `runs` times by each typer into a fresh field of each client
// while the machine is busy: how often it arrives exactly.
bool underLoad(Display *d, TextInjector &injector, const QString &file, int runs,
               const QString &only)
{
    const QString text = QStringLiteral("Salom, doʻstim! Bugun gʻalaba bizniki. Привет, как "
                                        "дела? Ещё чуть-чуть: éèüß € 100. Hello, the quick "
                                        "brown fox — yes ok!");
    const QStringList clients[] = {
        {QCoreApplication::applicationDirPath() + QStringLiteral("/bench_textclient")},
        {QStringLiteral("/usr/bin/python3"), QStringLiteral(VESK_TK_CLIENT)}};
    const char *names[] = {"Qt", "Tk"};
    BusyLoops busy;
    std::printf("== typing %d characters %d times into each client while two busy loops run\n",
                int(text.size()), runs);
    for (int c = 0; c < 2; ++c) {
        if (!only.isEmpty() && only.compare(QLatin1String(names[c]), Qt::CaseInsensitive) != 0)
            continue;
        std::vector<Result> vesk, xdotool;
        for (int run = 0; run < runs; ++run) {
            for (int tool = 0; tool < 2; ++tool) {
                QProcess client;
                if (!startClient(client, clients[c], file, d)) {
                    std::fprintf(stderr, "typing: the %s client did not get the focus\n", names[c]);
                    return false;
                }
                (tool == 0 ? vesk : xdotool).push_back(typeOnce(d, injector, file, text, tool));
                stop(client);
            }
        }
        std::printf("%s client: vesk (type) %d of %d exact, xdotool --delay 0 %d of %d exact\n",
                    names[c], exactCount(vesk), runs, exactCount(xdotool), runs);
        std::printf("  vesk    %s\n  xdotool %s\n", qPrintable(runDetails(vesk, text)),
                    qPrintable(runDetails(xdotool, text)));
        std::fflush(stdout);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    int runs = 3;
    int loadRuns = 8;
    QString loadClient; // "qt" or "tk"; both when empty
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(0, args[i + 1].toInt());
        if (args[i] == QLatin1String("--load-runs"))
            loadRuns = std::max(0, args[i + 1].toInt());
        if (args[i] == QLatin1String("--load-client"))
            loadClient = args[i + 1];
    }
    Display *d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "typing: needs an X server\n");
        return 1;
    }
    const QStringList clientCommand{QCoreApplication::applicationDirPath() +
                                    QStringLiteral("/bench_textclient")};
    const QString text = Bench::mixedText(length);
    QTemporaryDir work;
    const QString file = work.filePath(QStringLiteral("received.txt"));
    const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
    TextInjector injector(*platform);

    std::vector<Result> vesk, xdotool;
    // Taking turns spreads whatever else the machine does over both.
    for (int run = 0; run < runs; ++run) {
        for (int tool = 0; tool < 2; ++tool) {
            QProcess client;
            if (!startClient(client, clientCommand, file, d)) {
                std::fprintf(stderr, "typing: the text client did not get the focus\n");
                return 1;
            }
            (tool == 0 ? vesk : xdotool).push_back(typeOnce(d, injector, file, text, tool));
            stop(client);
        }
    }

    if (runs == 0) {
        const bool ok = underLoad(d, injector, file, loadRuns, loadClient);
        XCloseDisplay(d);
        return ok ? 0 : 1;
    }
    std::printf("== typing %d characters of Uzbek, Russian and English into a Qt text field "
                "(ms; median of %d)\n",
                int(text.size()), runs);
    report("vesk (type)", vesk, text);
    report("xdotool --delay 0", xdotool, text);
    std::vector<double> veskMs, xdotoolMs;
    for (const Result &r : vesk)
        veskMs.push_back(r.ms);
    for (const Result &r : xdotool)
        xdotoolMs.push_back(r.ms);
    if (median(veskMs) > 0)
        std::printf("ratio xdotool/vesk %8.2f\n", median(xdotoolMs) / median(veskMs));
    std::fflush(stdout);
    const bool ok = loadRuns == 0 || underLoad(d, injector, file, loadRuns, loadClient);
    XCloseDisplay(d);
    return ok ? 0 : 1;
}
