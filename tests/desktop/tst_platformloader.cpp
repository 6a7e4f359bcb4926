#include "desktop/DesktopSession.h"
#include "desktop/NativeBackends.h"
#include "desktop/PlatformLoader.h"
#include "TestSupport.h"
#include "desktop/TextInjector.h"

#include <QtTest>

namespace {

QProcessEnvironment environmentOf(const QStringList &pairs)
{
    QProcessEnvironment env;
    for (const QString &pair : pairs)
        env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    return env;
}

} // namespace

// The one place that picks the desktop's backends: the session it finds, the backend of each
// kind for what the desktop offers, the override variables, and the Null backends that say why.
class PlatformLoaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    // The desktop backends come from code of this very build: a module that another version
    // left (a package upgraded under a running app) is refused, and the backends of this build
    // are made. First, before anything here has asked for them.
    void backendsOfAnotherBuildAreRefused()
    {
        static int foreignMade = 0;
        QVERIFY(!NativeBackends::provide("0.0.1+0", [] {
            ++foreignMade;
            return std::unique_ptr<NativeBackends>();
        }));
        (void)NativeBackends::get();
        QCOMPARE(foreignMade, 0);
    }

    void detect_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("desktop");
        using D = DesktopSession::Desktop;
        QTest::newRow("X11") << QStringList{"DISPLAY=:0"} << "x11" << int(D::other);
        // XWayland's DISPLAY reaches only X11 windows: Wayland wins.
        QTest::newRow("sway with XWayland")
            << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=wayland-1",
                           "XDG_CURRENT_DESKTOP=sway:wlroots"}
            << "wayland" << int(D::sway);
        QTest::newRow("sway socket only")
            << QStringList{"WAYLAND_DISPLAY=wayland-1", "SWAYSOCK=/run/sway.sock"} << "wayland"
            << int(D::sway);
        QTest::newRow("GNOME session type only")
            << QStringList{"XDG_SESSION_TYPE=wayland", "XDG_CURRENT_DESKTOP=ubuntu:GNOME"}
            << "wayland" << int(D::gnome);
        QTest::newRow("KDE forced to X11")
            << QStringList{"WAYLAND_DISPLAY=wayland-0", "XDG_SESSION_TYPE=wayland",
                           "XDG_CURRENT_DESKTOP=KDE", "VESK_SESSION=X11"}
            << "x11" << int(D::kde);
        QTest::newRow("Hyprland forced to Wayland")
            << QStringList{"HYPRLAND_INSTANCE_SIGNATURE=abc", "VESK_SESSION=wayland"} << "wayland"
            << int(D::hyprland);
        QTest::newRow("nothing") << QStringList{} << "none" << int(D::other);
    }

    void detect()
    {
        QFETCH(QStringList, environment);
        QFETCH(QString, kind);
        QFETCH(int, desktop);
        const DesktopSession::Info info = DesktopSession::detect(environmentOf(environment));
        QCOMPARE(DesktopSession::kindName(info.kind), kind);
        QCOMPARE(int(info.desktop), desktop);
        // The loader answers for the session it was given, not for this process's.
        QCOMPARE(PlatformLoader(info, {}).isWayland(), kind == "wayland"_L1);
    }

    // Every backend by session and offers; an override row names its variable's value.
    void choices_data()
    {
        QTest::addColumn<int>("kind");
        // Offered: k(eyboard, virtual), d(ata control), r(emote desktop portal), s(hortcuts
        // portal), x (Qt on xcb), c(ompositor answered); the user's input-device choice: i.
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        // Key source path, poster, clipboard, pinning, trust.
        QTest::addColumn<QList<int>>("expected");
        using K = DesktopSession::Kind;
        using P = HoldKeyPath::Path;
        using L = PlatformLoader;
        using Po = L::Poster;
        using C = L::Clipboard;
        using Pi = L::Pinning;
        using T = L::Trust;
        const auto row =
            [](const char *name, K kind, const char *offered, P path, Po poster, C clipboard,
               Pi pinning, T trust, const char *variable = "", const char *value = "") {
                QTest::newRow(name)
                    << int(kind) << QString::fromLatin1(offered) << QString::fromLatin1(variable)
                    << QString::fromLatin1(value)
                    << QList<int>{int(path), int(poster), int(clipboard), int(pinning), int(trust)};
            };
        row("X11", K::x11, "x", P::x11, Po::x11, C::x11, Pi::x11, T::x11);
        row("X11 offscreen", K::x11, "", P::x11, Po::x11, C::qt, Pi::none, T::x11);
        row("sway", K::wayland, "ckd", P::compositorBindings, Po::wayland, C::wayland, Pi::none,
            T::wayland);
        row("sway, keyboard devices allowed, app on XWayland", K::wayland, "ckdxi", P::inputDevices,
            Po::wayland, C::wayland, Pi::x11, T::wayland);
        row("KDE", K::wayland, "cdrs", P::portal, Po::portal, C::wayland, Pi::none, T::portal);
        row("GNOME: no data control", K::wayland, "crsi", P::portal, Po::portal, C::qt, Pi::none,
            T::portal);
        // Typing would reach XWayland's windows only: not trusted.
        row("Wayland offering nothing", K::wayland, "c", P::compositorBindings, Po::x11, C::qt,
            Pi::none, T::wayland);
        row("Wayland session, compositor gone", K::wayland, "x", P::compositorBindings, Po::x11,
            C::x11, Pi::x11, T::x11);
        row("no session", K::none, "", P::x11, Po::none, C::qt, Pi::none, T::none);
        row("sway, key source forced to the portal", K::wayland, "ckd", P::portal, Po::wayland,
            C::wayland, Pi::none, T::wayland, "VESK_KEY_SOURCE", "portal");
        row("KDE, poster forced to X11", K::wayland, "cdrs", P::portal, Po::x11, C::wayland,
            Pi::none, T::portal, "VESK_KEY_POSTER", "x11");
        row("sway, clipboard forced to Qt's", K::wayland, "ckd", P::compositorBindings, Po::wayland,
            C::qt, Pi::none, T::wayland, "VESK_CLIPBOARD", "Qt");
        row("X11, pinning off", K::x11, "x", P::x11, Po::x11, C::x11, Pi::none, T::x11,
            "VESK_WINDOW_PINNING", "none");
        row("X11, unknown key source value ignored", K::x11, "x", P::x11, Po::x11, C::x11, Pi::x11,
            T::x11, "VESK_KEY_SOURCE", "telepathy");
    }

    void choices()
    {
        QFETCH(int, kind);
        QFETCH(QString, offered);
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QFETCH(QList<int>, expected);
        PlatformLoader::Offers offers;
        offers.compositor = offered.contains(u'c');
        offers.virtualKeyboard = offered.contains(u'k');
        offers.dataControl = offered.contains(u'd');
        offers.remoteDesktopPortal = offered.contains(u'r');
        offers.shortcutsPortal = offered.contains(u's');
        offers.qtOnXcb = offered.contains(u'x');
        const auto k = DesktopSession::Kind(kind);
        const auto forced = [&](const QString &name) {
            return name == variable ? value.toLower() : QString();
        };
        using L = PlatformLoader;
        const QList<int> got{int(L::chooseKeySource(k, forced(L::keySourceVariable), offers,
                                                    offered.contains(u'i'))),
                             int(L::choosePoster(k, forced(L::keyPosterVariable), offers)),
                             int(L::chooseClipboard(k, forced(L::clipboardVariable), offers)),
                             int(L::choosePinning(forced(L::pinningVariable), offers)),
                             int(L::chooseTrust(k, forced(L::trustVariable), offers))};
        QCOMPARE(got, expected);
    }

    // Where nothing can act, the user reads why: the poster refuses each insertion with its
    // reason, the key source says how the key comes instead, the trust says what is missing.
    void nullBackendsSayWhy_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no session")
            << QStringList{}
            << "No X server: the hold-to-talk key and text insertion need an X11 session.";
        QTest::newRow("turned off") << QStringList{"DISPLAY=:0", "VESK_KEY_POSTER=none",
                                                   "VESK_TRUST=none", "VESK_KEY_SOURCE=none"}
                                    << "Turned off by %1=none.";
    }

    void nullBackendsSayWhy()
    {
        QFETCH(QStringList, environment);
        QFETCH(QString, reason);
        const QProcessEnvironment env = environmentOf(environment);
        PlatformLoader platform(DesktopSession::detect(env), env);

        QVERIFY(!platform.trust().trusted);
        QCOMPARE(platform.trust().reason, reason.arg(PlatformLoader::trustVariable));

        TextInjector injector(platform);
        QVERIFY(!injector.canPaste());
        QSignalSpy failed(&injector, &TextInjector::failed);
        injector.insert(u"Salom"_s, u"type"_s, QString());
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), reason.arg(PlatformLoader::keyPosterVariable));
        QVERIFY(!injector.isBusy());

        if (platform.session().kind == DesktopSession::Kind::x11) {
            const std::unique_ptr<KeyEventSource> source =
                platform.keyEventSource(KeyEventSource::Scope::global, false);
            QVERIFY(!source->install([](const KeyEvent &) {}));
            QVERIFY(source->problem().contains(u"key bindings"_s));
        }
    }
};

QTEST_MAIN(PlatformLoaderTest)
#include "tst_platformloader.moc"
