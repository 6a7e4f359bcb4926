#include "Accessibility.h"
#include "AppDelegate.h"
#include "AppLanguage.h"
#include "AppShell.h"
#include "AppState.h"
#include "CommandLine.h"
#include "Config.h"
#include "DesktopPorts.h"
#include "GeminiTranscriber.h"
#include "Resources.h"
#include "SoundPlayer.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    if (const auto code = Cli::run(argc, argv))
        return *code;
    // Before anything reads the settings.
    Config::migrateLegacyFiles(Config::legacyDirectory(), Config::directory());

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vesk"));
    QApplication::setApplicationName(QStringLiteral("Vesk Voice"));
    QApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vesk-voice"));
    QApplication::setWindowIcon(Resources::appIcon());
    AppLanguage::installTranslator(&app);

    AppState state;
    SoundPlayer sounds;
    AppDelegate::Services services;
    services.recorder = std::make_unique<MicrophoneRecorder>();
    services.hotkey = std::make_unique<GlobalHotkey>();
    services.inserter = std::make_unique<DesktopInserter>();
    services.transcriber = std::make_unique<GeminiTranscriber>();
    services.trim = trimRecording;
    services.play = [&sounds](const QString &name) { sounds.play(name); };
    AppDelegate controller(&state, std::move(services));
    AppShell shell(&controller, [] {
        const Accessibility::Trust trust = Accessibility::check();
        return AppShell::Trust{trust.trusted, trust.reason};
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &shell,
                     &AppShell::applicationWillTerminate);
    QTimer::singleShot(0, &shell, &AppShell::applicationDidFinishLaunching);
    return app.exec();
}
