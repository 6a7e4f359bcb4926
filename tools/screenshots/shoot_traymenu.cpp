// Pictures of the tray menu in one interface language, for scripts/screenshots-windows: idle
// with a transcript and a microphone that is away, after a failure with its message, and the
// question before a language switch with unsaved settings.
//   shoot_traymenu --lang en|uz|ru --out FOLDER
// Writes tray-menu-idle-LANG.png, tray-menu-failed-LANG.png and restart-question-LANG.png there.

#include "app/controller/AppDelegate.h"
#include "app/parts/LazyPorts.h"
#include "app/parts/ModuleParts.h"
#include "app/services/DesktopPorts.h"
#include "app/shell/StatusItem.h"
#include "ui/main/SettingsView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vesk"));
    QApplication::setApplicationName(QStringLiteral("Vesk Voice"));
    QApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("lang"), QStringLiteral("interface language"),
                      QStringLiteral("code"), QStringLiteral("en")});
    parser.addOption({QStringLiteral("out"), QStringLiteral("folder for the pictures"),
                      QStringLiteral("folder"), QStringLiteral(".")});
    parser.process(app);
    const QString code = parser.value(QStringLiteral("lang"));
    const QString out = parser.value(QStringLiteral("out"));

    QTranslator translator;
    if (translator.load(QStringLiteral(":/translations/vesk_") + code + QStringLiteral(".qm")))
        QApplication::installTranslator(&translator);
    // Qt's own buttons as the app shows them: the system's table, or the one we carry.
    QTranslator qt;
    if (qt.load(QLocale(code), QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        qt.load(QStringLiteral(":/translations/qtbase_") + code + QStringLiteral(".qm")))
        QApplication::installTranslator(&qt);

    Config config;
    config.apiKey = QStringLiteral("AIzaSyExampleKey");
    config.onboardingDone = true;
    config.inputDeviceID = QStringLiteral("usb");
    config.inputDeviceName = QStringLiteral("USB Headset");
    History history;
    history.add(HistoryEntry::make(QStringLiteral("Ertaga soat uchda uchrashamiz, don't forget"), 2,
                                   config.model, QStringLiteral("mac")));
    AppState state(config, history);
    state.setAccessibilityGranted(true);
    state.setHotkeyInEffect(config.hotkey);

    OnDemand parts{std::make_unique<ModuleParts>()};
    const std::unique_ptr<PlatformLoader> platform = PlatformLoader::load();
    AppDelegate::Services services;
    services.recorder = std::make_unique<LazyRecorder>(parts);
    services.transcriber = std::make_unique<LazyTranscriber>(parts);
    services.hotkey = std::make_unique<GlobalHotkey>(*platform);
    services.inserter = std::make_unique<DesktopInserter>(*platform);
    AppDelegate controller(&state, std::move(services));
    StatusItem status(&controller);
    const auto shoot = [&](QWidget *shown, const QString &name) {
        if (!QTest::qWaitForWindowExposed(shown))
            qFatal("nothing shown for %s", qPrintable(name));
        QTest::qWait(100);
        const QString file = out + QStringLiteral("/%1-%2.png").arg(name, code);
        if (!shown->grab().save(file))
            qFatal("could not write %s", qPrintable(file));
        std::printf("%s\n", qPrintable(file));
    };

    for (const QString &name : {QStringLiteral("idle"), QStringLiteral("failed")}) {
        if (name == QLatin1String("failed")) {
            state.setMessage(QStringLiteral("Gemini returned 503: The model is overloaded right "
                                            "now. Please try again later."));
            controller.setPhase(AppState::Phase::failed);
        }
        status.menu()->popup(QPoint(100, 100));
        shoot(status.menu(), QStringLiteral("tray-menu-") + name);
        status.menu()->hide();
    }

    // The question comes with an edit that is not saved yet; grabbed once it is up.
    SettingsView settings(
        &state, [](const Config &) {}, SettingsServices());
    config.apiKey = QStringLiteral("edited");
    state.setConfig(config);
    QTimer::singleShot(0, [&] {
        if (!QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }))
            qFatal("the question did not come");
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        shoot(box, QStringLiteral("restart-question"));
        box->reject();
    });
    settings.readyToRestart();
    return 0;
}
