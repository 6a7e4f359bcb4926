#include "TestSupport.h"
#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "TextClients.h"
#include "WaylandKeyboard.h"

#include <QtTest>
#include <linux/input-event-codes.h>

// A whole dictation on Wayland without any key watching of the app's own: sway's key bindings
// run the control commands on Right Ctrl's press and release, exactly as the README tells users
// to write them; the speech comes from the virtual microphone, the transcript from the fake
// Gemini server, and it lands in a Wayland text client.
class SwayBindingsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data, m_tmp, m_work;
    FakeGeminiServer *m_server = nullptr;
    QProcess m_app;
    std::unique_ptr<TextClientProcess> m_client;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

    QString log() const { return TestSupport::appLog(m_data.path()); }

    // A sway command, as a user's config line would be.
    bool sway(const QString &command) const
    {
        return TestSupport::run(u"swaymsg"_s, {command}, m_env).ok();
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QByteArray display = qgetenv("VESK_TEST_WAYLAND_DISPLAY");
        if (display.isEmpty())
            QSKIP("no headless sway session (scripts/test starts one; see sway.log in its "
                  "services folder)");
        VESK_REQUIRE_AUDIO();
        m_env.insert(u"WAYLAND_DISPLAY"_s, QString::fromLocal8Bit(display));
        m_env.insert(u"SWAYSOCK"_s, qEnvironmentVariable("VESK_TEST_SWAYSOCK"));
        qputenv("WAYLAND_DISPLAY", display);
        m_server = new FakeGeminiServer(this);

        Config c;
        c.apiKey = u"e2e-key"_s;
        c.onboardingDone = true;
        c.sounds = false;
        c.insertMethod = u"paste"_s;
        c.saveTo(m_data.filePath(u"config.json"_s));

        m_client = std::make_unique<TextClientProcess>(TextClientProcess::Kind::qt,
                                                       TextClientProcess::onWayland(m_env));
        QVERIFY(m_client->start());

        m_env = TestSupport::appEnvironment(m_data.path(), m_server->baseUrl(), m_env);
        m_env.insert(u"TMPDIR"_s, m_tmp.path());
        // The app's own windows stay on the X server, out of the way of the text client's
        // focus; the insertion goes through sway.
        QProcessEnvironment appEnv = m_env;
        appEnv.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        m_app.setProcessEnvironment(appEnv);
        m_app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_app.start(TestSupport::executable(), {});
        QVERIFY(m_app.waitForStarted());
        QTRY_VERIFY2_WITH_TIMEOUT(log().contains(u"accessibility granted=true"_s),
                                  qPrintable(log()), 30000);
    }

    void cleanupTestCase()
    {
        sway(u"unbindsym --no-repeat Control_R"_s);
        sway(u"unbindsym --release Control_R"_s);
        m_client.reset();
        TestSupport::stop(m_app, 5000);
    }

    void rightControlHeldThroughSwayBindings()
    {
        const QString transcript = u"Salom, oʻzbek — Привет, готово! 中文 😀 ok"_s;
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(transcript));
        const QString speech = m_work.filePath(u"speech.wav"_s);
        QVERIFY(TestSupport::speak(speech, u"Salom. Privet. Hello."_s));

        // The README's lines, with this run's folders: sway runs bound commands in its own
        // environment.
        const QString command = u"exec env XDG_RUNTIME_DIR=%1 VESK_DATA_DIR=%2 %3"_s.arg(
            m_env.value(u"XDG_RUNTIME_DIR"_s), m_data.path(), TestSupport::executable());
        QVERIFY(sway(u"bindsym --no-repeat Control_R "_s + command + u" start"_s));
        QVERIFY(sway(u"bindsym --release Control_R "_s + command + u" stop"_s));

        WaylandKeyboard keyboard;
        QVERIFY(keyboard.open());
        keyboard.key(KEY_RIGHTCTRL, true);
        QTRY_VERIFY2_WITH_TIMEOUT(log().contains(u"recording started"_s), qPrintable(log()), 10000);
        QVERIFY(TestSupport::playToMicrophone(speech, m_env));
        keyboard.key(KEY_RIGHTCTRL, false);
        QTRY_COMPARE_WITH_TIMEOUT(m_client->received(), transcript, 30000);
        QCOMPARE(m_server->requests().size(), 1);
        QVERIFY2(log().contains(u"control: start"_s), qPrintable(log()));
        QVERIFY2(log().contains(u"control: stop"_s), qPrintable(log()));
    }
};

QTEST_MAIN(SwayBindingsTest)
#include "tst_swaybindings.moc"
