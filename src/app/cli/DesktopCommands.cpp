#include "app/cli/CommandLine.h"

#include "desktop/Accessibility.h"
#include "desktop/ClipboardHandover.h"
#include "desktop/NewlineMode.h"
#include "desktop/PlatformLoader.h"
#include "desktop/TextInjector.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <utility>

namespace Cli {

namespace {

constexpr int permissionWaitMs = 5 * 60 * 1000;
// Longer than a desktop takes to allow without asking; shorter than a person answering.
constexpr int dialogMs = 500;
constexpr int focusBackMs = 300;

int type(const QStringList &args)
{
    QString text;
    bool haveText = false;
    QString method = QStringLiteral("paste");
    QString newline = QStringLiteral("shiftReturn");
    double delay = 2.0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool option = arg == QLatin1String("--method") || arg == QLatin1String("--newline") ||
                            arg == QLatin1String("--delay");
        if (option) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("'%1' needs a value").arg(arg));
            const QString value = args[++i];
            if (arg == QLatin1String("--method")) {
                if (value != QLatin1String("paste") && value != QLatin1String("type"))
                    return usageError(
                        QStringLiteral("--method is 'paste' or 'type', not '%1'").arg(value));
                method = value;
            } else if (arg == QLatin1String("--newline")) {
                if (!NewlineModes::isRawValue(value))
                    return usageError(QStringLiteral("--newline is one of shiftReturn, "
                                                     "optionReturn, return, space; not '%1'")
                                          .arg(value));
                newline = value;
            } else {
                bool ok = false;
                delay = value.toDouble(&ok);
                if (!ok || delay < 0 || delay > 60)
                    return usageError(
                        QStringLiteral("--delay is seconds from 0 to 60, not '%1'").arg(value));
            }
        } else if (arg.startsWith(QLatin1String("--"))) {
            return usageError(QStringLiteral("unknown option '%1'").arg(arg));
        } else if (haveText) {
            return usageError(QStringLiteral("'type' takes one TEXT (quote it)"));
        } else {
            text = arg;
            haveText = true;
        }
    }
    if (!haveText)
        return usageError(QStringLiteral("'type' needs the TEXT to insert"));

    const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
    const Accessibility::Trust trust = platform->trust();
    if (!trust.trusted) {
        err(QStringLiteral("vesk-voice: cannot insert text: ") + trust.reason);
        return 1;
    }
    TextInjector injectorObject(*platform);
    TextInjector *injector = &injectorObject;
    // The text goes once the delay (time to click into the window that should receive it) is
    // over and the desktop has allowed typing, which may take a person a while to answer.
    bool delayOver = false;
    bool allowed = false;
    bool inserted = false;
    QElapsedTimer sinceDelay;
    const auto insertWhenDue = [&] {
        if (!delayOver || !allowed || std::exchange(inserted, true))
            return;
        injector->insert(text, method, newline);
        if (!injector->isBusy())
            QCoreApplication::quit();
    };
    QTimer::singleShot(int(delay * 1000), injector, [&] {
        delayOver = true;
        sinceDelay.start();
        insertWhenDue();
    });
    // Said only where the desktop is taking its time: it is asking the user.
    QTimer::singleShot(int(delay * 1000) + 1000, injector, [&] {
        if (!allowed)
            err(QStringLiteral("vesk-voice: waiting for the desktop to allow typing into other "
                               "windows (answer its dialog)"));
    });
    allowed = !injector->whenReady([&] {
        allowed = true;
        // A dialog answered after the delay: the focus goes back to the window a moment after
        // it closes, and keys sent before then are lost.
        if (delayOver && sinceDelay.isValid() && sinceDelay.elapsed() > dialogMs)
            QTimer::singleShot(focusBackMs, injector, insertWhenDue);
        else
            insertWhenDue();
    });
    // Not forever: a desktop that never answers ends in its reason.
    QTimer::singleShot(permissionWaitMs, injector, [&] {
        allowed = true;
        insertWhenDue();
    });
    QObject::connect(
        injector, &TextInjector::idle, QCoreApplication::instance(),
        [injector] {
            // What the insertion gave back to the clipboard would die with this process.
            ClipboardHandover::handOver(injector->clipboard(),
                                        QCoreApplication::applicationFilePath(),
                                        {QStringLiteral("serve-clipboard")});
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
    bool failed = false;
    QObject::connect(injector, &TextInjector::failed, injector, [&failed](const QString &reason) {
        err(QStringLiteral("vesk-voice: cannot insert text: ") + reason);
        failed = true;
    });
    const int code = QCoreApplication::exec();
    return failed ? 1 : code;
}

int serveClipboard(const QStringList &args)
{
    if (args.size() != 1)
        return usageError(QStringLiteral("'serve-clipboard' takes one FILE"));
    const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
    return ClipboardHandover::serve(*platform->clipboard(), args[0]);
}

} // namespace

QList<Command> desktopCommands()
{
    return {{QStringLiteral("type"),
             QStringLiteral("type TEXT [--method paste|type] [--newline MODE] [--delay SECONDS]"),
             QStringLiteral("insert TEXT into the focused window after a delay (2 s unless "
                            "--delay says otherwise); MODE is shiftReturn, optionReturn, return "
                            "or space"),
             true, &type},
            // The background half of `type`: not for users, so not in the help.
            {QStringLiteral("serve-clipboard"), QString(), QString(), true, &serveClipboard}};
}

} // namespace Cli
