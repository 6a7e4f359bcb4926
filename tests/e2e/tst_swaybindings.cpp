#include "Config.h"
#include "FakeGeminiServer.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

// A whole dictation on Wayland without any key watching of the app's own: sway's key bindings
// run the control commands on Right Ctrl's press and release, exactly as the README tells users
// to write them; the speech comes from the virtual microphone, the transcript from the fake
// Gemini server, and it lands in a Wayland text client.
namespace {

// A physical keyboard as the compositor sees one: the US layout, keys by position.
class Keyboard
{
public:
    bool open()
    {
        m_display = wl_display_connect(nullptr);
        if (!m_display)
            return false;
        m_registry = wl_display_get_registry(m_display);
        static const wl_registry_listener listener = {
            [](void *data, wl_registry *r, uint32_t name, const char *interface, uint32_t) {
                auto *self = static_cast<Keyboard *>(data);
                if (qstrcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
                    self->m_seat =
                        static_cast<wl_seat *>(wl_registry_bind(r, name, &wl_seat_interface, 1));
                else if (qstrcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
                    self->m_manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
                        wl_registry_bind(r, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
            },
            [](void *, wl_registry *, uint32_t) {}};
        wl_registry_add_listener(m_registry, &listener, this);
        wl_display_roundtrip(m_display);
        if (!m_seat || !m_manager)
            return false;
        m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_seat);
        xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
        m_keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        xkb_context_unref(context);
        if (!m_keymap)
            return false;
        m_state = xkb_state_new(m_keymap);
        char *text = xkb_keymap_get_as_string(m_keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        const size_t size = strlen(text) + 1;
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        const bool written = write(fd, text, size) == ssize_t(size);
        free(text);
        zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       uint32_t(size));
        close(fd);
        return written && wl_display_roundtrip(m_display) >= 0;
    }

    ~Keyboard()
    {
        if (m_state)
            xkb_state_unref(m_state);
        if (m_keymap)
            xkb_keymap_unref(m_keymap);
        if (m_keyboard)
            zwp_virtual_keyboard_v1_destroy(m_keyboard);
        if (m_manager)
            zwp_virtual_keyboard_manager_v1_destroy(m_manager);
        if (m_seat)
            wl_seat_destroy(m_seat);
        if (m_registry)
            wl_registry_destroy(m_registry);
        if (m_display)
            wl_display_disconnect(m_display);
    }

    // The key changes, then the modifiers as that keymap makes them, as a real keyboard reports.
    void key(int evdev, bool down)
    {
        zwp_virtual_keyboard_v1_key(m_keyboard, m_time += 10, uint32_t(evdev),
                                    down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                         : WL_KEYBOARD_KEY_STATE_RELEASED);
        xkb_state_update_key(m_state, xkb_keycode_t(evdev + 8), down ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(
            m_keyboard, xkb_state_serialize_mods(m_state, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_EFFECTIVE));
        wl_display_roundtrip(m_display);
    }

private:
    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *m_manager = nullptr;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    xkb_keymap *m_keymap = nullptr;
    xkb_state *m_state = nullptr;
    uint32_t m_time = 0;
};

} // namespace

class SwayBindingsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data, m_tmp, m_work;
    FakeGeminiServer *m_server = nullptr;
    QProcess m_app, m_client;
    QString m_received;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

    QString log() const
    {
        QFile f(m_data.filePath(QStringLiteral("vesk.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QString received() const
    {
        QFile f(m_received);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    bool run(const QString &program, const QStringList &args) const
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(program, args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

    // A sway command, as a user's config line would be.
    bool sway(const QString &command) const { return run(QStringLiteral("swaymsg"), {command}); }

private Q_SLOTS:
    void initTestCase()
    {
        const QByteArray display = qgetenv("VESK_TEST_WAYLAND_DISPLAY");
        if (display.isEmpty())
            QSKIP("no headless sway session (scripts/test starts one; see sway.log in its "
                  "services folder)");
        if (qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH") && !TestSupport::strict())
            QSKIP("no private audio server");
        m_env.insert(QStringLiteral("WAYLAND_DISPLAY"), QString::fromLocal8Bit(display));
        m_env.insert(QStringLiteral("SWAYSOCK"), qEnvironmentVariable("VESK_TEST_SWAYSOCK"));
        qputenv("WAYLAND_DISPLAY", display);
        m_server = new FakeGeminiServer(this);

        Config c;
        c.apiKey = QStringLiteral("e2e-key");
        c.onboardingDone = true;
        c.hotkey = HotkeyKind::fn;
        c.sounds = false;
        c.insertMethod = QStringLiteral("paste");
        c.languageCodes = {QStringLiteral("uz-UZ"), QStringLiteral("ru-RU")};
        c.saveTo(m_data.filePath(QStringLiteral("config.json")));

        m_received = m_work.filePath(QStringLiteral("received.txt"));
        QProcessEnvironment clientEnv = m_env;
        clientEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        m_client.setProcessEnvironment(clientEnv);
        m_client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_client.start(TestSupport::binaryDir() + QStringLiteral("/tests/desktop/vesk_textclient"),
                       {m_received});
        QVERIFY(m_client.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += m_client.readAllStandardOutput()).startsWith("ready"),
                                 15000);

        m_env.insert(QStringLiteral("VESK_DATA_DIR"), m_data.path());
        m_env.insert(QStringLiteral("VESK_GEMINI_BASE_URL"), m_server->baseUrl());
        m_env.insert(QStringLiteral("TMPDIR"), m_tmp.path());
        m_env.remove(QStringLiteral("GEMINI_API_KEY"));
        // The app's own windows stay on the X server, out of the way of the text client's
        // focus; the insertion goes through sway.
        QProcessEnvironment appEnv = m_env;
        appEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_app.setProcessEnvironment(appEnv);
        m_app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_app.start(TestSupport::executable(), {});
        QVERIFY(m_app.waitForStarted());
        QTRY_VERIFY2_WITH_TIMEOUT(log().contains(QStringLiteral("accessibility granted=true")),
                                  qPrintable(log()), 30000);
    }

    void cleanupTestCase()
    {
        sway(QStringLiteral("unbindsym --no-repeat Control_R"));
        sway(QStringLiteral("unbindsym --release Control_R"));
        for (QProcess *p : {&m_app, &m_client}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000))
                    p->kill();
                p->waitForFinished(2000);
            }
        }
    }

    void rightControlHeldThroughSwayBindings()
    {
        const QString transcript = QStringLiteral("Salom, oʻzbek — Привет, готово! 中文 😀 ok");
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(transcript));
        const QString speech = m_work.filePath(QStringLiteral("speech.wav"));
        QVERIFY(run(QStringLiteral("espeak-ng"),
                    {QStringLiteral("-w"), speech, QStringLiteral("Salom. Privet. Hello.")}));

        // The README's lines, with this run's folders: sway runs bound commands in its own
        // environment.
        const QString command = QStringLiteral("exec env XDG_RUNTIME_DIR=%1 VESK_DATA_DIR=%2 %3")
                                    .arg(m_env.value(QStringLiteral("XDG_RUNTIME_DIR")),
                                         m_data.path(), TestSupport::executable());
        QVERIFY(sway(QStringLiteral("bindsym --no-repeat Control_R ") + command +
                     QStringLiteral(" start")));
        QVERIFY(sway(QStringLiteral("bindsym --release Control_R ") + command +
                     QStringLiteral(" stop")));

        Keyboard keyboard;
        QVERIFY(keyboard.open());
        keyboard.key(KEY_RIGHTCTRL, true);
        QTRY_VERIFY2_WITH_TIMEOUT(log().contains(QStringLiteral("recording started")),
                                  qPrintable(log()), 10000);
        QVERIFY(run(QStringLiteral("paplay"),
                    {QStringLiteral("-d"), QStringLiteral("micfeed"), speech}));
        keyboard.key(KEY_RIGHTCTRL, false);
        QTRY_COMPARE_WITH_TIMEOUT(received(), transcript, 30000);
        QCOMPARE(m_server->requests().size(), 1);
        QVERIFY2(log().contains(QStringLiteral("control: start")), qPrintable(log()));
        QVERIFY2(log().contains(QStringLiteral("control: stop")), qPrintable(log()));
    }
};

QTEST_MAIN(SwayBindingsTest)
#include "tst_swaybindings.moc"
