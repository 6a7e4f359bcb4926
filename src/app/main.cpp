#include "desktop/Accessibility.h"
#include "app/controller/AppDelegate.h"
#include "language/AppLanguage.h"
#include "app/AppShell.h"
#include "app/shell/StatusItem.h"
#include "state/AppState.h"
#include "records/Config.h"
#include "app/cli/CommandLine.h"
#include "app/control/ControlChannel.h"
#include "app/parts/LazyPorts.h"
#include "app/services/DesktopPorts.h"
#include "desktop/DesktopSession.h"
#include "desktop/NativeBackends.h"
#include "records/Log.h"
#include "app/QtNoise.h"
#include "Resources.h"
#include "records/TerminationGuard.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    // Nothing this program makes (folders, the autostart entry, recordings) may be writable by
    // others, whatever umask it was started with.
    ::umask(::umask(0) | 022);
    QtNoise::install();
    // Before anything reads the settings, the command line's commands included: a command that
    // wrote a default configuration first would keep the older folder from ever being taken over.
    Config::hudVisibleByDefault = DesktopSession::current().kind != DesktopSession::Kind::wayland;
    Config::migrateLegacyFiles(Config::legacyDirectory(), Config::directory());
    // A command (any argument); only those to the running app run without the on-demand parts.
    if (argc > 1) {
        OnDemand parts;
        return *Cli::run(argc, argv, [&parts] { return parts.get().commands(); });
    }
    // A broken installation is told now, not at the first dictation.
    QString missing;
    if (OnDemand::modulePath(&missing).isEmpty() ||
        NativeBackends::modulePath(&missing).isEmpty()) {
        std::fprintf(stderr, "vesk-voice: %s\n", qUtf8Printable(missing));
        return 1;
    }

    // One app per data folder: a second launch shows the first one's main window and leaves.
    LaunchClaim claim = claimInstance(Config::directory(), 15000);
    if (claim.outcome == LaunchClaim::Outcome::handedOver)
        return 0;
    if (claim.outcome == LaunchClaim::Outcome::failed) {
        std::fprintf(stderr, "vesk-voice: %s\n", qUtf8Printable(claim.error));
        return 1;
    }
    if (claim.outcome == LaunchClaim::Outcome::unavailable)
        std::fprintf(stderr,
                     "vesk-voice: no control socket (%s); commands will not reach this app\n",
                     qUtf8Printable(claim.error));

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vesk"));
    QApplication::setApplicationName(QStringLiteral("Vesk Voice"));
    QApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vesk-voice"));
    AppLanguage::installTranslator(&app);

    AppState state;
    // The tray icon first, so that the app is seen at once, and its dock request sent now (the
    // event loop would send it only after the rest of the launch).
    std::unique_ptr<QSystemTrayIcon> icon = StatusItem::showEarly(&state);
    PlatformLoader::sendWindowRequests();
    // For the windows, none of which shows before this.
    QApplication::setWindowIcon(Resources::appIcon());
    // The recorder, the requests, the sounds and the windows: loaded at their first use.
    OnDemand parts;
    const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
    AppDelegate::Services services;
    auto recorder = std::make_unique<LazyRecorder>(parts);
    auto transcriber = std::make_unique<LazyTranscriber>(parts);
    auto hotkey = std::make_unique<GlobalHotkey>(*platform);
    // The first hold loads them while its threshold runs, not after it.
    hotkey->monitor().onPress = [recorder = recorder.get(), transcriber = transcriber.get()] {
        recorder->prepare();
        transcriber->prepare();
    };
    services.recorder = std::move(recorder);
    services.hotkey = std::move(hotkey);
    services.inserter = std::make_unique<DesktopInserter>(*platform);
    services.transcriber = std::move(transcriber);
    services.focus = std::make_unique<DesktopFocus>(*platform);
    services.trim = [&parts](const QString &file, double keepSeconds) {
        return parts.get().trim(file, keepSeconds);
    };
    services.play = [&parts](const QString &name) { parts.get().playSound(name); };
    AppDelegate controller(&state, std::move(services));
    AppShell shell(
        &controller, *platform,
        [&platform] {
            const Accessibility::Trust trust = platform->trust();
            return AppShell::Trust{trust.trusted, trust.reason};
        },
        parts);
    shell.adoptTrayIcon(std::move(icon));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &shell,
                     &AppShell::applicationWillTerminate);

    // The floating button's actions, for commands and desktop shortcuts.
    ControlServer control(
        [&controller](const QString &command) { return controller.perform(command); });
    QString listenError = claim.error;
    const bool listening = claim.outcome == LaunchClaim::Outcome::primary &&
                           control.listen(claim.socketPath, &listenError);
    // A new launch waits for a quitting app; it need not wait for the app's whole teardown.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &control, &ControlServer::close);
    // SIGTERM and SIGINT (a session ending, a service manager) end the app as its Quit item
    // does, so settings are saved and the control socket is taken down.
    const TerminationGuard quitOnSignals([](int) { QCoreApplication::quit(); });
    QTimer::singleShot(0, &shell, &AppShell::applicationDidFinishLaunching);
    // After the launch has emptied the log.
    if (!listening) {
        QTimer::singleShot(0, &app, [listenError] {
            Log::write(QStringLiteral("control socket unavailable: ") + listenError);
        });
    }
    return app.exec();
}
