// Typing a long mixed-script transcript into a real Qt text field: the app's typing insertion
// against `xdotool type --delay 0`, each into a fresh empty field, timed from the start to the
// field holding the whole text, and checked character for character.
//
// Needs an X server with a window manager that gives new windows the focus; bench/run starts one.
#include "KeyPoster.h"
#include "TextInjector.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <X11/Xlib.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int length = 500;
constexpr qint64 timeoutMs = 60000;
// A typer that has finished and left the field still this long will not complete it.
constexpr qint64 quietMs = 3000;

// Uzbek in the Latin alphabet with its turned comma (U+02BB), Russian and English, repeated and
// cut to `length` characters, none of them white space at either end (the app trims those).
QString mixedText()
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

// Watches the client's file from a thread of its own, so that a typer blocking the main thread
// does not delay noticing the text.
class Watcher
{
public:
    Watcher(const QString &path, const QString &expected)
        : m_thread([this, path, expected] {
              QString last;
              while (!m_stop) {
                  const QString now = readAll(path);
                  if (now != last) {
                      last = now;
                      m_lastChangeNs = nowNs();
                      if (now == expected) {
                          m_arrivedNs = m_lastChangeNs.load();
                          return;
                      }
                  }
                  std::this_thread::sleep_for(std::chrono::microseconds(500));
              }
          })
    {}
    ~Watcher()
    {
        m_stop = true;
        m_thread.join();
    }
    qint64 arrivedNs() const { return m_arrivedNs; }
    qint64 lastChangeNs() const { return m_lastChangeNs; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_arrivedNs{-1};
    std::atomic<qint64> m_lastChangeNs{-1};
    std::thread m_thread;
};

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

Window focusedWindow(Display *d)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    return focus;
}

// A fresh text client that holds the keyboard focus.
bool startClient(QProcess &client, const QString &program, const QString &file, Display *d)
{
    QFile::remove(file);
    client.start(program, {file});
    QByteArray said;
    if (!client.waitForStarted() ||
        !waitFor([&] { return (said += client.readAllStandardOutput()).contains('\n'); }, 15000) ||
        !said.startsWith("ready "))
        return false;
    const Window window = Window(said.mid(6).trimmed().toULongLong());
    return waitFor([&] { return focusedWindow(d) == window; }, 10000);
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(5000);
}

struct Result
{
    double ms = -1;
    bool exact = false;
    bool timedOut = false;
    QString got;
};

// Runs `type` (which may return before the text is in), then waits for the whole text, for the
// time-out, or for a typer that is done to leave the field alone.
Result measure(const QString &file, const QString &expected, const std::function<void()> &type,
               const std::function<bool()> &typerDone)
{
    Result r;
    const qint64 start = nowNs();
    {
        Watcher watcher(file, expected);
        type();
        qint64 doneNs = -1;
        waitFor(
            [&] {
                if (watcher.arrivedNs() >= 0)
                    return true;
                const qint64 now = nowNs();
                if (doneNs < 0 && typerDone())
                    doneNs = now;
                const qint64 still = std::max(doneNs, watcher.lastChangeNs());
                if (doneNs >= 0 && now - still > quietMs * 1000000)
                    return true;
                r.timedOut = now - start > timeoutMs * 1000000;
                return r.timedOut;
            },
            int(timeoutMs + 5000));
        const qint64 end = watcher.arrivedNs() >= 0 ? watcher.arrivedNs()
                           : r.timedOut             ? nowNs()
                                                    : watcher.lastChangeNs();
        r.ms = end >= start ? double(end - start) / 1e6 : -1;
    }
    r.got = readAll(file);
    r.exact = r.got == expected;
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

QString verdict(const std::vector<Result> &results, const QString &expected)
{
    int exact = 0;
    QString worst;
    for (const Result &r : results) {
        if (r.exact) {
            ++exact;
            continue;
        }
        int at = 0;
        while (at < r.got.size() && at < expected.size() && r.got[at] == expected[at])
            ++at;
        worst = QStringLiteral("; got %1 of %2 characters, first wrong at %3%4")
                    .arg(r.got.size())
                    .arg(expected.size())
                    .arg(at)
                    .arg(r.timedOut ? QStringLiteral(", timed out") : QString());
    }
    return QStringLiteral("%1/%2 exact%3").arg(exact).arg(results.size()).arg(worst);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    int runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
    }
    Display *d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "typing: needs an X server\n");
        return 1;
    }
    const QString clientPath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/bench_textclient");
    const QString text = mixedText();
    QTemporaryDir work;
    const QString file = work.filePath(QStringLiteral("received.txt"));
    TextInjector injector(createKeyPoster());

    std::vector<Result> vesk, xdotool;
    // Taking turns spreads whatever else the machine does over both.
    for (int run = 0; run < runs; ++run) {
        for (int tool = 0; tool < 2; ++tool) {
            QProcess client;
            if (!startClient(client, clientPath, file, d)) {
                std::fprintf(stderr, "typing: the text client did not get the focus\n");
                return 1;
            }
            if (tool == 0) {
                vesk.push_back(measure(
                    file, text,
                    [&] {
                        injector.insert(text, QStringLiteral("type"),
                                        QStringLiteral("shiftReturn"));
                    },
                    [&] { return !injector.isBusy(); }));
            } else {
                QProcess typer;
                typer.setProcessChannelMode(QProcess::ForwardedChannels);
                xdotool.push_back(measure(
                    file, text,
                    [&] {
                        typer.start(QStringLiteral("xdotool"),
                                    {QStringLiteral("type"), QStringLiteral("--delay"),
                                     QStringLiteral("0"), QStringLiteral("--"), text});
                    },
                    [&] { return typer.state() == QProcess::NotRunning; }));
                stop(typer);
            }
            stop(client);
        }
    }

    std::printf("== typing %d characters of Uzbek, Russian and English into a Qt text field "
                "(ms; median of %d)\n",
                int(text.size()), runs);
    std::vector<double> veskMs, xdotoolMs;
    for (const Result &r : vesk)
        veskMs.push_back(r.ms);
    for (const Result &r : xdotool)
        xdotoolMs.push_back(r.ms);
    std::printf("vesk (type)        %8.0f   %s\n", median(veskMs), qPrintable(verdict(vesk, text)));
    std::printf("xdotool --delay 0  %8.0f   %s\n", median(xdotoolMs),
                qPrintable(verdict(xdotool, text)));
    if (median(veskMs) > 0)
        std::printf("ratio xdotool/vesk %8.2f\n", median(xdotoolMs) / median(veskMs));
    XCloseDisplay(d);
    return 0;
}
