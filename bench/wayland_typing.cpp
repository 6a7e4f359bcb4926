// Typing 500 characters of Uzbek, Russian and English into real Wayland clients (Chromium on a
// local page, a GTK 3 text view) under a headless sway, against wtype in the same run: whether
// the text (more distinct characters than one keymap's printable rows hold) arrives exactly, and
// how long it takes, idle and with both cores busy.
#include "BenchSupport.h"
#include "desktop/PlatformLoader.h"
#include "desktop/TextInjector.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int length = 500;

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

struct Result
{
    double ms = -1;
    bool exact = false;
    // Where the text first went wrong, and how long it was.
    int wrongFrom = -1;
    int got = 0;
};

// Both cores busy for as long as it lives.
class Load
{
public:
    explicit Load(bool on)
    {
        for (int i = 0; on && i < 2; ++i)
            m_threads.emplace_back([this] {
                volatile unsigned long n = 0;
                while (!m_stop)
                    n = n + 1;
            });
    }
    ~Load()
    {
        m_stop = true;
        for (std::thread &t : m_threads)
            t.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

bool startClient(QProcess &client, const QString &kind, const QString &file)
{
    QFile::remove(file);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    client.setProcessEnvironment(env);
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString scripts = QStringLiteral(VESK_SOURCE_DIR "/tests/desktop/");
    if (kind == QLatin1String("gtk"))
        client.start(scripts + QStringLiteral("gtk_textclient.py"), {file});
    else
        client.start(scripts + QStringLiteral("browser_textclient.py"), {file, kind});
    QByteArray said;
    const bool ok =
        client.waitForStarted() &&
        Bench::waitFor([&] { return (said += client.readAllStandardOutput()).contains('\n'); },
                       20000);
    return ok;
}

// The time until the text is there; a wrong text counts once nothing has changed for 3 s.
Result measure(const QString &file, const QString &expected, const std::function<void()> &type)
{
    QElapsedTimer clock;
    clock.start();
    type();
    Result r;
    QString last;
    qint64 changedAt = clock.elapsed();
    Bench::waitFor(
        [&] {
            const QString now = readAll(file);
            if (now != last) {
                last = now;
                changedAt = clock.elapsed();
            }
            return now == expected || clock.elapsed() - changedAt > 3000;
        },
        60000, 1);
    r.exact = last == expected;
    if (!r.exact) {
        r.got = int(last.size());
        r.wrongFrom = 0;
        while (r.wrongFrom < last.size() && r.wrongFrom < expected.size() &&
               last[r.wrongFrom] == expected[r.wrongFrom])
            ++r.wrongFrom;
    }
    r.ms = double(r.exact ? clock.elapsed() : changedAt);
    return r;
}

void report(const char *name, const std::vector<Result> &results)
{
    std::vector<double> ms;
    int exact = 0;
    for (const Result &r : results) {
        ms.push_back(r.ms);
        exact += r.exact ? 1 : 0;
    }
    std::printf("  %-10s %8.0f ms   %d of %zu exact", name, Bench::median(ms), exact,
                results.size());
    for (const Result &r : results) {
        if (!r.exact)
            std::printf("; %d characters, wrong from %d", r.got, r.wrongFrom);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int runs = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
    }
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "wayland_typing: needs a Wayland session (WAYLAND_DISPLAY)\n");
        return 1;
    }
    const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
    const QString text = Bench::mixedText(length);
    QTemporaryDir work;
    const QString file = work.filePath(QStringLiteral("received.txt"));
    std::printf("== typing %d characters of Uzbek, Russian and English (ms, median of %d)\n",
                int(text.size()), runs);
    for (const bool loaded : {false, true}) {
        for (const char *kind : {"chromium", "gtk"}) {
            std::vector<Result> vesk, wtype;
            int notStarted = 0;
            for (int run = 0; run < runs; ++run) {
                for (int tool = 0; tool < 2; ++tool) {
                    // With one virtual keyboard of ours kept for the whole bench, Chromium
                    // crashed at start after a few runs: each run has a keyboard of its own.
                    std::unique_ptr<TextInjector> injector;
                    if (tool == 0)
                        injector = std::make_unique<TextInjector>(*platform);
                    QProcess client;
                    if (!startClient(client, QString::fromLatin1(kind), file)) {
                        // Now and then a client started after wtype's keyboard went away never
                        // gets the focus, or a browser crashes at once: counted, not measured.
                        std::fprintf(stderr, "wayland_typing: %s did not get the focus\n", kind);
                        Bench::stop(client);
                        ++notStarted;
                        continue;
                    }
                    Load load(loaded);
                    (tool == 0 ? vesk : wtype).push_back(measure(file, text, [&] {
                        if (tool == 0) {
                            injector->insert(text, QStringLiteral("type"), QString());
                        } else {
                            QProcess typer;
                            typer.start(QStringLiteral("wtype"), {text});
                            typer.waitForFinished(60000);
                        }
                    }));
                    Bench::stop(client);
                }
            }
            std::printf(
                "%s, %s%s:\n", kind, loaded ? "both cores busy" : "idle",
                notStarted
                    ? qPrintable(
                          QStringLiteral(" (%1 clients did not get the focus)").arg(notStarted))
                    : "");
            report("vesk-voice", vesk);
            report("wtype", wtype);
        }
    }
    return 0;
}
