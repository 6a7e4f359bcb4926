// Pictures of the first-run guide for scripts/screenshots-windows: every page in English, Uzbek
// and Russian, and the pages' other faces: a microphone that hears nothing, a key from the
// environment that the service refused (a local fake service), the keyboard page of a Wayland
// session, also once the app knows how the hold key comes.
//   shoot_guide FOLDER
// Writes FOLDER/guide-*.png and prints each file's path.

#include "FakeGeminiServer.h"
#include "desktop/HoldKeyPath.h"
#include "desktop/HotkeyKindInfo.h"
#include "onboarding/OnboardingSteps.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

using namespace Qt::StringLiterals;

static void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits up to five seconds for `done`.
static void settleUntil(const std::function<bool()> &done)
{
    for (QDeadlineTimer deadline(5000); !done() && !deadline.hasExpired();)
        settle(20);
}

// The guide as a user meets it, with a microphone that hears at about half the scale (or that
// cannot be opened) and the labels of the interface language.
struct Guide
{
    AppState state;
    std::function<void(double)> level;
    std::unique_ptr<OnboardingView> view;

    explicit Guide(const Config &config, bool hears = true, bool wayland = false)
        : state(config, History())
    {
        GuideServices s;
        s.micStatus = [] { return MicStatus::authorized; };
        s.hotkeyLabel = [](HotkeyKind k) { return HotkeyKindInfo::label(k); };
        s.listenToMicrophone = [this, hears](const QString &, QObject *,
                                             std::function<void(double)> report) {
            level = std::move(report);
            return hears;
        };
        s.waylandSession = [wayland] { return wayland; };
        view = std::make_unique<OnboardingView>(
            &state, [](const Config &) {}, [] {}, MicStatus::authorized, s);
        view->show();
        settle(300);
    }

    void turn(int pages)
    {
        for (int i = 0; i < pages; ++i)
            view->move(+1);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: shoot_guide FOLDER\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    FakeGeminiServer server;
    qputenv("VESK_GEMINI_BASE_URL", server.baseUrl().toUtf8());
    qunsetenv("GEMINI_API_KEY");
    bool saved = true;
    const auto shoot = [&](const Guide &guide, const QString &name) {
        settle(250); // the new page's layout and the dots settle
        const QString path = folder + u"/guide-"_s + name + u".png"_s;
        saved = guide.view->grab().save(path) && saved;
        QTextStream(stdout) << path << Qt::endl;
    };

    for (const QString &code : {u"en"_s, u"uz"_s, u"ru"_s}) {
        QTranslator translator;
        if (!translator.load(u":/translations/vesk_"_s + code + u".qm"_s))
            return 1;
        QCoreApplication::installTranslator(&translator);
        Config chosen;
        chosen.languageCodes = {u"uz-UZ"_s};
        Config withKey = chosen;
        withKey.apiKey = u"AIza-screenshot-key"_s;

        Guide guide(withKey);
        for (int page = 1; page <= 5; ++page) {
            if (page == 2) {
                settleUntil([&] { return bool(guide.level); });
                guide.level(0.55);
            }
            shoot(guide, u"%1-%2"_s.arg(page).arg(code));
            guide.turn(1);
        }

        qputenv("GEMINI_API_KEY", "from-env");
        server.enqueue(400, FakeGeminiServer::errorAnswer(u"API key expired"_s));
        Guide envKey(chosen, false);
        envKey.turn(1);
        shoot(envKey, u"2-silent-"_s + code);
        envKey.turn(2);
        settleUntil([&] {
            const auto *page = qobject_cast<GeminiStep *>(envKey.view->page());
            return page && !page->isBusy() && !page->error().isEmpty();
        });
        shoot(envKey, u"4-environment-key-"_s + code);
        qunsetenv("GEMINI_API_KEY");

        Guide wayland(withKey, true, true);
        wayland.turn(2);
        shoot(wayland, u"3-wayland-"_s + code);
        HoldKeyPath::Facts facts;
        facts.portal = PortalShortcuts::State::bound;
        facts.trigger = u"Ctrl+Alt+Space"_s;
        facts.desktop = DesktopSession::Desktop::sway;
        for (const auto &[name, path] :
             {std::pair{"portal", HoldKeyPath::Path::portal},
              std::pair{"sway", HoldKeyPath::Path::compositorBindings}}) {
            wayland.state.setHoldKeyAdvice(HoldKeyPath::advice(path, facts));
            shoot(wayland, u"3-wayland-%1-%2"_s.arg(QLatin1String(name), code));
        }
        QCoreApplication::removeTranslator(&translator);
    }
    return saved ? 0 : 1;
}
