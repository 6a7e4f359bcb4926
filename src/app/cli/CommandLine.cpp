#include "app/cli/CommandLine.h"

#include "records/Log.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace Cli {

namespace {

QString helpText(const QList<Command> &commands)
{
    QString text =
        QStringLiteral("Usage: vesk-voice [COMMAND [ARGUMENTS]]\n\n"
                       "Hold-to-talk dictation. Without a command the desktop app starts; "
                       "when it already runs\n(on the same data folder), its main window comes "
                       "forward instead.\n\n"
                       "Commands:\n");
    for (const Command &c : commands) {
        if (!c.usage.isEmpty())
            text += QStringLiteral("  %1\n      %2\n").arg(c.usage, c.summary);
    }
    text += QStringLiteral(
        "\ntoggle, start, stop, cancel and show act on the running app as its floating button "
        "does:\nbind them to a desktop keyboard shortcut or mouse button where the hold key "
        "cannot be\nwatched (on Wayland, for one).\n");
    text += QStringLiteral(
        "\nOptions:\n  --help       show this help\n  --version    show the version\n\n"
        "Environment: VESK_DATA_DIR (data folder), GEMINI_API_KEY (key when the "
        "settings hold none), VESK_GEMINI_BASE_URL (Gemini API address).");
    return text;
}

void write(FILE *stream, const QString &text, bool newline)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    if (newline)
        std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

void out(const QString &text, bool newline)
{
    write(stdout, text, newline);
}

void err(const QString &text)
{
    write(stderr, text, true);
}

int usageError(const QString &message)
{
    err(QStringLiteral("vesk-voice: %1 (see 'vesk-voice --help')").arg(message));
    return 2;
}

std::optional<int> run(int argc, char **argv, const std::function<QList<Command>()> &partsCommands)
{
    if (argc < 2)
        return std::nullopt;
    const QString name = QString::fromLocal8Bit(argv[1]);
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        out(helpText(partsCommands() + controlCommands()));
        return 0;
    }
    if (name == QLatin1String("--version")) {
        out(QStringLiteral("vesk-voice %1 (%2)")
                .arg(QStringLiteral(VESK_VERSION), QStringLiteral(VESK_BUILD_NUMBER)));
        return 0;
    }
    // The running app's commands come first: they need none of the on-demand parts, and a
    // desktop shortcut's toggle should not wait for them to load.
    QList<Command> commands = controlCommands();
    if (std::none_of(commands.begin(), commands.end(),
                     [&](const Command &c) { return c.name == name; }))
        commands += partsCommands();
    for (const Command &c : std::as_const(commands)) {
        if (c.name != name)
            continue;
        // The application object gives the command an event loop (network, audio, clipboard).
        std::unique_ptr<QCoreApplication> app;
        if (c.needsGui)
            app = std::make_unique<QGuiApplication>(argc, argv);
        else
            app = std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
        const int code = c.run(args);
        // The log is written like the app's but never emptied here: the app may be running.
        Log::flush();
        return code;
    }
    if (name.startsWith(QLatin1Char('-')))
        return usageError(QStringLiteral("unknown option '%1'").arg(name));
    return usageError(QStringLiteral("unknown command '%1'").arg(name));
}

} // namespace Cli
