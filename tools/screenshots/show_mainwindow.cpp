// Shows the main window with sample transcripts, for screenshots:
//   show_mainwindow [--lang en|uz|ru] [--tab history|settings] [--empty] [--height N|full]
//                   [--hold-key portal|sway|other|devices|kept-nothing] [--no-tray]
//                   [--no-paste] [--notice]
// ("full": tall enough for the whole settings form; --hold-key: as a Wayland desktop of that
// kind shows the form, the devices unreadable; --notice: the line History shows when the
// desktop gives no way back to the app the user was in)
// Prints the window id once the window is on screen, then runs until it is closed.

#include "ui/main/HistoryView.h"
#include "desktop/HoldKeyPath.h"
#include "ui/main/MainView.h"
#include "ui/main/SettingsView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vesk"));
    QApplication::setApplicationName(QStringLiteral("Vesk Voice"));
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("lang"), QStringLiteral("interface language"),
                      QStringLiteral("code"), QStringLiteral("en")});
    parser.addOption({QStringLiteral("tab"), QStringLiteral("first tab"), QStringLiteral("tab"),
                      QStringLiteral("history")});
    parser.addOption({QStringLiteral("empty"), QStringLiteral("no transcripts")});
    parser.addOption({QStringLiteral("height"), QStringLiteral("window height"),
                      QStringLiteral("pixels"), QStringLiteral("560")});
    parser.addOption({QStringLiteral("hold-key"), QStringLiteral("Wayland hold-key path"),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("no-tray"), QStringLiteral("a desktop without a tray")});
    parser.addOption({QStringLiteral("no-paste"),
                      QStringLiteral("a desktop where no app sets another's clipboard")});
    parser.addOption({QStringLiteral("notice"), QStringLiteral("the no-way-back notice")});
    parser.addOption(
        {QStringLiteral("model"), QStringLiteral("the chosen model"), QStringLiteral("name")});
    parser.process(app);

    const QString code = parser.value(QStringLiteral("lang"));
    QTranslator translator;
    if (translator.load(QStringLiteral(":/translations/vesk_") + code + QStringLiteral(".qm")))
        QApplication::installTranslator(&translator);
    const QLocale locale(code == QLatin1String("uz")   ? QLocale::Uzbek
                         : code == QLatin1String("ru") ? QLocale::Russian
                                                       : QLocale::English,
                         code == QLatin1String("uz")   ? QLocale::Uzbekistan
                         : code == QLatin1String("ru") ? QLocale::Russia
                                                       : QLocale::UnitedStates);
    QLocale::setDefault(locale);

    Config config;
    config.apiKey = QStringLiteral("AIzaSyExampleKey");
    config.customVocabulary = {QStringLiteral("Vesk"), QStringLiteral("Toshkent"),
                               QStringLiteral("Gulnora")};
    config.inputDeviceID = QStringLiteral("alsa_input.usb-headset");
    config.inputDeviceName = QStringLiteral("USB Headset");
    config.languageCodes = {QStringLiteral("uz-UZ"), QStringLiteral("ru-RU"),
                            QStringLiteral("en-US")};
    if (parser.isSet(QStringLiteral("model")))
        config.model = parser.value(QStringLiteral("model"));
    History history;
    if (!parser.isSet(QStringLiteral("empty"))) {
        const QDateTime now(QDate(2025, 3, 14), QTime(16, 45));
        struct Sample
        {
            const char *text;
            double duration;
            const char *source;
            int minutesAgo;
        };
        const Sample samples[] = {
            {"Salom, ertaga soat uchda uchrashamizmi? Men Toshkentdan kechroq qaytaman.", 4.2,
             "mac", 600},
            {"Please send the quarterly report to Gulnora before Friday, and copy me on the "
             "thread so I can follow up with the design team.",
             7.9, "mac", 180},
            {"Напомни мне завтра позвонить в банк и уточнить про перевод.", 3.4, "iPhone", 45},
            {"git commit -m \"Fix the login timeout\" and then push to the review branch.", 5.1,
             "mac", 12},
            {"Bugun kechqurun onamga qoʻngʻiroq qilishni unutmaslik kerak.", 2.6, "mac", 2},
        };
        for (const Sample &s : samples) {
            HistoryEntry e =
                HistoryEntry::make(QString::fromUtf8(s.text), s.duration,
                                   QStringLiteral("gemini-2.5-flash"), QString::fromUtf8(s.source));
            e.date = now.addSecs(-60 * s.minutesAgo);
            history.add(e);
        }
    }
    config.readInputDevices = parser.value(QStringLiteral("hold-key")) == QLatin1String("devices");
    AppState state(config, history);
    if (parser.isSet(QStringLiteral("hold-key"))) {
        const QString kind = parser.value(QStringLiteral("hold-key"));
        HoldKeyPath::Facts facts;
        facts.portal = PortalShortcuts::State::bound;
        facts.trigger = QStringLiteral("Ctrl+Alt+Space");
        facts.desktop = kind == QLatin1String("sway") ? DesktopSession::Desktop::sway
                                                      : DesktopSession::Desktop::gnome;
        // What a user outside the input group reads.
        facts.devices.problem = QCoreApplication::translate(
            "EvdevKeyEventSource", "Reading the keyboard needs the input group. Run: sudo usermod "
                                   "-aG input $USER, then log out and back in.");
        // KDE Plasma 5.27: the shortcuts portal answered and kept nothing.
        if (kind == QLatin1String("kept-nothing")) {
            facts.desktop = DesktopSession::Desktop::kde;
            facts.portalProblem = QCoreApplication::translate(
                "PortalShortcuts", "The desktop did not keep the shortcut.");
        }
        const HoldKeyPath::Path path = kind == QLatin1String("portal") ? HoldKeyPath::Path::portal
                                       : kind == QLatin1String("devices")
                                           ? HoldKeyPath::Path::inputDevices
                                           : HoldKeyPath::Path::compositorBindings;
        state.setHoldKeyAdvice(HoldKeyPath::advice(path, facts));
    }
    state.setTrayAvailable(!parser.isSet(QStringLiteral("no-tray")));
    state.setPasteAvailable(!parser.isSet(QStringLiteral("no-paste")));

    SettingsServices services;
    services.inputs = [] {
        return QList<std::pair<QString, QString>>{
            {QStringLiteral("alsa_input.pci-analog"),
             QStringLiteral("Built-in Audio Analog Stereo")},
            {QStringLiteral("alsa_input.webcam"), QStringLiteral("HD Webcam C920")}};
    };
    const MainView::Tab tab = parser.value(QStringLiteral("tab")) == QLatin1String("settings")
                                  ? MainView::Tab::settings
                                  : MainView::Tab::history;
    MainView view(
        &state, tab, [](const Config &) {}, [](const QString &) {}, services);
    view.setWindowTitle(QStringLiteral("Vesk Voice"));
    if (parser.isSet(QStringLiteral("notice")))
        view.history()->setNotice(QCoreApplication::translate(
            "AppWindows",
            "This desktop gives Vesk Voice no way back to the app you were in, so the "
            "text was copied: paste it there."));
    int height = parser.value(QStringLiteral("height")).toInt();
    if (parser.value(QStringLiteral("height")) == QLatin1String("full")) {
        view.resize(820, 560);
        SettingsView *form = view.settings();
        height = form->widget()->sizeHint().height() + view.height() - form->viewport()->height();
    }
    view.resize(820, qMax(560, height));
    view.show();
    QTimer::singleShot(500, [&view] { QTextStream(stdout) << view.winId() << Qt::endl; });
    return app.exec();
}
