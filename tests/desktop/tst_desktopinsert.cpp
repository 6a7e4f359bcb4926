#include "TestSupport.h"
#include "desktop/HoldKeyPath.h"
#include "desktop/wayland/PortalShortcuts.h"
#include "TextClients.h"

#include <QtDBus>
#include <QtTest>

namespace {

const QString mixed = u"Salom, oʻzbek — Привет, готово! 中文 😀 ok"_s;

// What typing by keysym gives on a US layout: the characters the layout lacks (ʻ, —, the
// Cyrillic words, 中文, 😀) are dropped by the desktop, the rest arrive in order.
const QString mixedOnTheLayout = QString(mixed).remove(QRegularExpression(u"[^\\x00-\\x7f]"_s));

struct Desktop
{
    QString name;
    // The compositor's socket and the session bus.
    QString display, bus;
};

} // namespace

// Insertions on real headless desktops that scripts/test starts, each with its own session bus,
// xdg-desktop-portal and the desktop's portal backend: KDE Plasma (kwin_wayland) and GNOME
// Shell. A GTK 3 client receives what `vesk-voice type` inserts, as a user would run it; the
// desktops' dialogs are answered as a user would, by keyboard.
class DesktopInsertTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TextClientProcess> m_client;

    static Desktop desktop(const QString &name)
    {
        const QByteArray prefix = "VESK_TEST_" + name.toUpper().toLatin1();
        return {name, qEnvironmentVariable(prefix + "_DISPLAY"),
                qEnvironmentVariable(prefix + "_BUS")};
    }

    QProcessEnvironment environmentOf(const Desktop &d) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QFileInfo socket(d.display);
        env.insert(u"XDG_RUNTIME_DIR"_s, socket.path());
        env.insert(u"WAYLAND_DISPLAY"_s, socket.fileName());
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, d.bus);
        env.insert(u"XDG_CURRENT_DESKTOP"_s, d.name == "kde"_L1 ? u"KDE"_s : u"GNOME"_s);
        env.insert(u"XDG_SESSION_TYPE"_s, u"wayland"_s);
        env.insert(u"GDK_BACKEND"_s, u"wayland"_s);
        env.remove(u"DISPLAY"_s);
        env.remove(u"SWAYSOCK"_s);
        env.insert(u"VESK_DATA_DIR"_s, m_dir.filePath(d.name + u"-data"_s));
        return env;
    }

    // JavaScript run in GNOME Shell (unsafe mode, which the services' test extension turns on).
    static QString gnomeEval(const Desktop &d, const QString &script)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(d.bus, u"gnome-shell"_s);
        QDBusMessage call = QDBusMessage::createMethodCall(
            u"org.gnome.Shell"_s, u"/org/gnome/Shell"_s, u"org.gnome.Shell"_s, u"Eval"_s);
        call << script;
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        const QVariantList answer = reply.arguments();
        if (answer.size() < 2 || !answer[0].toBool())
            return u"error: "_s + reply.errorMessage() + answer.value(1).toString();
        return answer[1].toString();
    }

    // Answers GNOME's "Remote desktop" dialog once it has the focus, as a user would by keyboard:
    // Tab to "Allow remote interaction", space to turn it on, Tab, Tab to "Share", space.
    static bool dialogFocused(const Desktop &d)
    {
        return gnomeEval(d, u"global.display.focus_window ? "
                            "global.display.focus_window.get_wm_class() : ''"_s)
            .contains("portal"_L1);
    }

    static bool answerGnomeDialog(const Desktop &d)
    {
        if (!QTest::qWaitFor([&d] { return dialogFocused(d); }, 20000))
            return false;
        // Key by key, as a person types: the dialog moves its focus between them.
        QTest::qWait(300);
        for (const char *key : {"Tab", "space", "Tab", "Tab", "space"}) {
            const QString press = u"const t = imports.gi.GLib.get_monotonic_time();"
                                  "const Clutter = imports.gi.Clutter;"
                                  "global._veskKeyboard.notify_keyval(t, Clutter.KEY_%1, "
                                  "Clutter.KeyState.PRESSED);"
                                  "global._veskKeyboard.notify_keyval(t + 1000, Clutter.KEY_%1, "
                                  "Clutter.KeyState.RELEASED);"_s.arg(QLatin1String(key));
            if (gnomeEval(d, press).startsWith("error"_L1))
                return false;
            QTest::qWait(150);
        }
        return true;
    }

    void startClient(const Desktop &d)
    {
        m_client.reset();
        // GNOME starts in the overview, and its headless seat has no keyboard until one is
        // added (without one no window ever gets the keyboard focus).
        if (d.name == "gnome"_L1)
            QCOMPARE(gnomeEval(d, u"Main.overview.hide();"
                                  "const Clutter = imports.gi.Clutter;"
                                  "global._veskKeyboard = global._veskKeyboard || "
                                  "Clutter.get_default_backend().get_default_seat()"
                                  ".create_virtual_device("
                                  "Clutter.InputDeviceType.KEYBOARD_DEVICE); 'ready'"_s),
                     u"\"ready\""_s);
        m_client =
            std::make_unique<TextClientProcess>(TextClientProcess::Kind::gtk, environmentOf(d));
        QVERIFY(m_client->start());
    }

    // Runs `vesk-voice type` at once (no delay), answering GNOME's dialog; whether it succeeded.
    bool type(const Desktop &d, const QString &text, const QString &method)
    {
        // The last run's dialog is gone and the client has the focus back.
        if (d.name == "gnome"_L1 && !QTest::qWaitFor([&d] { return !dialogFocused(d); }, 10000))
            qWarning("GNOME's last remote desktop dialog is still there");
        QProcess cli;
        cli.setProcessEnvironment(environmentOf(d));
        cli.setProcessChannelMode(QProcess::ForwardedChannels);
        cli.start(TestSupport::executable(),
                  {u"type"_s, text, u"--method"_s, method, u"--delay"_s, u"0"_s});
        if (!cli.waitForStarted())
            return false;
        // GNOME keeps no answer: it asks at every run.
        if (d.name == "gnome"_L1 && !answerGnomeDialog(d))
            qWarning("GNOME's remote desktop dialog did not come");
        // It may be over already: the event loop ran while the dialog was answered.
        if ((cli.state() != QProcess::NotRunning && !cli.waitForFinished(30000)) ||
            cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0) {
            qWarning("vesk-voice type ended with %d (%s)", cli.exitCode(),
                     cli.exitStatus() == QProcess::NormalExit ? "exit" : "crash");
            return false;
        }
        return true;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void cleanup() { m_client.reset(); }

    // The mixed text, then a plain one typed after it: the second arrives as written only when
    // the first left no key, Shift or Caps Lock down (a key left down would also repeat).
    void insertsOnTheRealDesktop_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("expected");
        QTest::newRow("KDE, typed: in order, the layout's characters")
            << "kde"
            << "type" << mixedOnTheLayout;
        QTest::newRow("KDE, pasted (data control): exact") << "kde"
                                                           << "paste" << mixed;
        QTest::newRow("GNOME 43, typed: in order, the layout's characters")
            << "gnome"
            << "type" << mixedOnTheLayout;
        // Neither data control nor a Clipboard portal (xdg-desktop-portal 1.16): typed.
        QTest::newRow("GNOME 43, pasted: typed as no clipboard reaches the window")
            << "gnome"
            << "paste" << mixedOnTheLayout;
    }

    void insertsOnTheRealDesktop()
    {
        QFETCH(QString, name);
        QFETCH(QString, method);
        QFETCH(QString, expected);
        const Desktop d = desktop(name);
        if (d.display.isEmpty())
            QSKIP("this desktop's headless session did not start (scripts/test says why)");
        startClient(d);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(type(d, mixed, method));
        QTRY_COMPARE_WITH_TIMEOUT(m_client->received(), expected, 10000);
        const QString after = u"Ok, ok"_s;
        QVERIFY(type(d, after, u"type"_s));
        QTRY_COMPARE_WITH_TIMEOUT(m_client->received(), expected + after, 10000);
        // Longer than the desktop's key repeat delay: a key left down would have repeated.
        QTest::qWait(800);
        QCOMPARE(m_client->received(), expected + after);
    }

    // KDE Plasma 5.27 takes the binding from a program without an application id and keeps
    // nothing: the app notices, and the other hold-key ways are offered instead.
    void shortcutsPortalKeepsNothingOnKde()
    {
        const Desktop d = desktop(u"kde"_s);
        if (d.display.isEmpty())
            QSKIP("the headless KDE session did not start (scripts/test says why)");
        PortalShortcuts shortcuts(QDBusConnection::connectToBus(d.bus, u"kde"_s));
        QVERIFY(shortcuts.isAvailable());
        shortcuts.open();
        QTRY_VERIFY_WITH_TIMEOUT(shortcuts.state() == PortalShortcuts::State::failed ||
                                     shortcuts.state() == PortalShortcuts::State::bound,
                                 15000);
        if (shortcuts.state() == PortalShortcuts::State::bound)
            QSKIP("this KDE keeps the shortcut: the portal path is the one offered");
        QVERIFY(shortcuts.keptNothing());
        QCOMPARE(shortcuts.problem(), u"The desktop did not keep the shortcut."_s);
        HoldKeyPath::Facts facts;
        facts.desktop = DesktopSession::Desktop::kde;
        facts.portalProblem = shortcuts.problem();
        const HoldKeyAdvice advice = HoldKeyPath::advice(
            HoldKeyPath::choose(DesktopSession::Kind::wayland, !shortcuts.keptNothing(), false),
            facts);
        QVERIFY(advice.offerInputDevices);
        QVERIFY2(advice.summary.startsWith(shortcuts.problem()), qPrintable(advice.summary));
        QVERIFY(advice.action.contains(u"vesk-voice toggle"_s));
    }
};

QTEST_GUILESS_MAIN(DesktopInsertTest)
#include "tst_desktopinsert.moc"
