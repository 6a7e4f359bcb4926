#include "TestSupport.h"
#include "TextClients.h"
#include "desktop/TextInjector.h"
#include "WaylandKeyboard.h"
#include "desktop/wayland/WaylandSupport.h"

#include <QtTest>
#include <linux/input-event-codes.h>
#include <unistd.h>

// Insertions into real Wayland clients (a Qt text field, a GTK 3 text view, a text area on a local
// page in Chromium and in Firefox, foot) under the headless sway session that scripts/test
// starts. The "user's" clipboard comes from another program (wl-copy), as on a desktop.
class WaylandInsertTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PlatformLoader> m_platform;
    std::unique_ptr<TextInjector> m_injector;
    const QString m_mixed = u"Salom, oʻzbek — Привет, готово! 中文 😀 ok"_s;
    // 120 characters of three languages, digits and punctuation.
    const QString m_sentence =
        u"Ertaga soat 9:30 da uchrashamiz, затем в 14:05 звоним клиенту; then we "
        "ship v2.1 (50% done) — yaxshimi? Ha, albatta 100!"_s;
    // More distinct characters than the printable rows of a keyboard have places for.
    const QString m_distinct = u"абвгдеёжзийклмнопрстуфхцчшщъыьэюяʻ—«»№;:!?,.()"
                               "ÀÉÎÕÜßñç中文日本語漢"_s;

    static QByteArray clipboardTypes()
    {
        return TestSupport::runServing(u"wl-paste"_s, {u"--list-types"_s});
    }

    static QByteArray clipboardOf(const QString &type)
    {
        return TestSupport::runServing(u"wl-paste"_s, {u"--no-newline"_s, u"--type"_s, type});
    }

    static void copy(const QByteArray &data, const QString &type)
    {
        QProcess copy;
        copy.start(u"wl-copy"_s, {u"--type"_s, type});
        QVERIFY(copy.waitForStarted());
        copy.write(data);
        copy.closeWriteChannel();
        QVERIFY(copy.waitForFinished());
        QTRY_COMPARE(clipboardOf(type), data);
    }

    // `vesk-voice type` pasting at once, as a user runs it.
    static bool typeCommand(const QString &text, const QProcessEnvironment &env)
    {
        const TestSupport::Run cli = TestSupport::runApp(
            {u"type"_s, text, u"--method"_s, u"paste"_s, u"--delay"_s, u"0"_s}, env);
        if (!cli.ok())
            qWarning("vesk-voice type: %s", qPrintable(cli.err));
        return cli.ok();
    }

    // Empties the client's field as a user would: Control+A, Backspace. A field still empty is
    // left alone, as nothing would show when those keys had been read.
    static void clearField(const TextClientProcess &client, WaylandKeyboard &keyboard)
    {
        if (client.received().isEmpty())
            return;
        for (const auto &[code, down] : {std::pair{KEY_LEFTCTRL, true},
                                         {KEY_A, true},
                                         {KEY_A, false},
                                         {KEY_LEFTCTRL, false},
                                         {KEY_BACKSPACE, true},
                                         {KEY_BACKSPACE, false}})
            keyboard.key(code, down);
        QTRY_COMPARE_WITH_TIMEOUT(client.received(), QString(), 10000);
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void init()
    {
        const QByteArray display = qgetenv("VESK_TEST_WAYLAND_DISPLAY");
        if (display.isEmpty())
            QSKIP("no headless sway session (scripts/test starts one; see sway.log in its "
                  "services folder)");
        // Before anything asks which session this is.
        qputenv("WAYLAND_DISPLAY", display);
        qputenv("SWAYSOCK", qgetenv("VESK_TEST_SWAYSOCK"));
        qputenv("VESK_SESSION", "wayland");
        m_platform = PlatformLoader::load();
        m_injector = std::make_unique<TextInjector>(*m_platform);
    }

    void cleanup() { m_injector.reset(); }

    // Each client takes three texts, typed and pasted, exactly; the user's clipboard (a format
    // that is not text) is back after each. A busy program asks for the clipboard well after
    // the paste key: it must still get the transcript before the user's clipboard comes back.
    void insertionArrivesExactlyAndTheClipboardComesBack_data()
    {
        QTest::addColumn<TextClientProcess::Kind>("kind");
        QTest::addColumn<QString>("pasteAfterMs");
        QTest::newRow("qt") << TextClientProcess::Kind::qt << QString();
        QTest::newRow("gtk") << TextClientProcess::Kind::gtk << QString();
        QTest::newRow("gtk reading late") << TextClientProcess::Kind::gtk << u"1500"_s;
        QTest::newRow("chromium") << TextClientProcess::Kind::chromium << QString();
        QTest::newRow("firefox") << TextClientProcess::Kind::firefox << QString();
    }

    void insertionArrivesExactlyAndTheClipboardComesBack()
    {
        QFETCH(TextClientProcess::Kind, kind);
        QFETCH(QString, pasteAfterMs);
        if (!TextClientProcess::installed(kind))
            QSKIP("the browser is not installed (scripts/setup installs it)");
        const QByteArray html = QByteArrayLiteral("<b>the user's own</b>");
        copy(html, u"text/html"_s);
        const QByteArray types = clipboardTypes();
        QProcessEnvironment env = TextClientProcess::onWayland();
        if (!pasteAfterMs.isEmpty())
            env.insert(u"VESK_TEST_PASTE_AFTER_MS"_s, pasteAfterMs);
        TextClientProcess client(kind, env);
        QVERIFY(client.start());
        WaylandKeyboard keyboard;
        QVERIFY(keyboard.open());
        for (const QString &text : {m_mixed, m_sentence, m_distinct}) {
            for (const char *method : {"type", "paste"}) {
                clearField(client, keyboard);
                m_injector->insert(text, QString::fromLatin1(method), u"shiftReturn"_s);
                QTRY_COMPARE_WITH_TIMEOUT(client.received(), text, 20000);
                QTRY_VERIFY_WITH_TIMEOUT(!m_injector->isBusy(), 10000);
                QCOMPARE(clipboardTypes(), types);
                QCOMPARE(clipboardOf(u"text/html"_s), html);
            }
        }
    }

    void heldKeysAndLongTexts_data()
    {
        QTest::addColumn<TextClientProcess::Kind>("kind");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("text");
        // A key the user still holds (an evdev code; 0 for none).
        QTest::addColumn<int>("held");
        QTest::newRow("qt type lines")
            << TextClientProcess::Kind::qt << "type" << u"Первая строка\nsecond line ✓"_s << 0;
        QTest::newRow("qt paste, Alt held")
            << TextClientProcess::Kind::qt << "paste" << m_mixed << KEY_LEFTALT;
        // Many batches of keymaps.
        QString many;
        for (char32_t c = 0x4e00; c < 0x4e00 + 300; ++c)
            many += QString::fromUcs4(&c, 1);
        QTest::newRow("gtk type 300 ideographs")
            << TextClientProcess::Kind::gtk << "type" << many << 0;
    }

    void heldKeysAndLongTexts()
    {
        QFETCH(TextClientProcess::Kind, kind);
        QFETCH(QString, method);
        QFETCH(QString, text);
        QFETCH(int, held);
        TextClientProcess client(kind, TextClientProcess::onWayland());
        QVERIFY(client.start());
        WaylandKeyboard keyboard;
        if (held) {
            QVERIFY(keyboard.open());
            keyboard.key(held, true);
        }
        m_injector->insert(text, method, u"shiftReturn"_s);
        QTRY_COMPARE_WITH_TIMEOUT(client.received(), text, 20000);
        if (held)
            keyboard.key(held, false);
        QTRY_VERIFY_WITH_TIMEOUT(!m_injector->isBusy(), 10000);
    }

    // A line break typed into foot in each mode, and a character past U+FFFF pasted with the
    // terminal's own paste keys.
    void footLineBreaks_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("expected");
        // Shift+Return would be ESC[27;2;13~ to foot: a terminal gets a plain Return.
        QTest::newRow("shiftReturn") << "shiftReturn"
                                     << "Привет\rok 😀"_ba;
        QTest::newRow("optionReturn") << "optionReturn"
                                      << "Привет\x1b\rok 😀"_ba;
        QTest::newRow("return") << "return"
                                << "Привет\rok 😀"_ba;
        QTest::newRow("space") << "space"
                               << "Привет ok 😀"_ba;
    }

    void footLineBreaks()
    {
        QFETCH(QString, mode);
        QFETCH(QByteArray, expected);
        if (!TextClientProcess::installed(TextClientProcess::Kind::foot))
            QSKIP("foot is not installed (scripts/setup installs it)");
        TextClientProcess foot(TextClientProcess::Kind::foot);
        QVERIFY(foot.start());
        QTRY_COMPARE(Wayland::swayFocusedWindowClass(), QStringList{foot.instance()});
        m_injector->insert(u"Привет\nok 😀"_s, u"type"_s, mode);
        QTRY_COMPARE_WITH_TIMEOUT(foot.received().toUtf8(), expected, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_injector->isBusy(), 10000);
    }

    // The command finds the session by itself, and what it gave back to the clipboard (text or
    // an image) is still there after it exited.
    void typeCommandKeepsTheClipboard_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("text") << "text/plain"
                              << "KEEPME"_ba;
        QTest::newRow("image") << "image/png" << pngPicture();
    }

    void typeCommandKeepsTheClipboard()
    {
        QFETCH(QString, type);
        QFETCH(QByteArray, data);
        copy(data, type);
        TextClientProcess client(TextClientProcess::Kind::qt, TextClientProcess::onWayland());
        QVERIFY(client.start());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"VESK_SESSION"_s);
        QVERIFY(typeCommand(m_mixed, env));
        QTRY_COMPARE_WITH_TIMEOUT(client.received(), m_mixed, 10000);
        QCOMPARE(clipboardOf(type), data);
        // Another copy ends the command's clipboard server.
        copy("next", u"text/plain"_s);
    }

    // The command's clipboard server ends with the session it serves (a logout), instead of
    // staying behind with a dead connection. A second headless sway of its own, ended here.
    void clipboardServerEndsWithTheSession()
    {
        QTemporaryDir dir(u"/tmp/vesk-sway2.XXXXXX"_s);
        QVERIFY(dir.isValid());
        const QString config = dir.filePath(u"config"_s);
        TestSupport::writeFile(config, "output HEADLESS-1 resolution 640x480\n");
        QProcessEnvironment env;
        env.insert(u"PATH"_s, qEnvironmentVariable("PATH"));
        env.insert(u"HOME"_s, dir.path());
        env.insert(u"XDG_RUNTIME_DIR"_s, dir.path());
        env.insert(u"WLR_BACKENDS"_s, u"headless"_s);
        env.insert(u"WLR_LIBINPUT_NO_DEVICES"_s, u"1"_s);
        env.insert(u"WLR_RENDERER"_s, u"pixman"_s);
        QStringList command{u"sway"_s, u"--config"_s, config};
        // sway refuses root, as the test services' own session does.
        if (::geteuid() == 0)
            command =
                QStringList{"unshare", "--user", "--map-user=1000", "--map-group=1000"} + command;
        QProcess sway;
        sway.setProcessEnvironment(env);
        sway.setProcessChannelMode(QProcess::MergedChannels);
        sway.setStandardOutputFile(QProcess::nullDevice());
        sway.start(command.takeFirst(), command);
        QVERIFY(sway.waitForStarted());
        // The socket, not its lock file.
        const auto socket = [&dir] {
            return QDir(dir.path()).entryList({u"wayland-?"_s}, QDir::System).value(0);
        };
        QTRY_VERIFY_WITH_TIMEOUT(!socket().isEmpty(), 10000);
        const QString display = dir.filePath(socket());

        QProcessEnvironment session = QProcessEnvironment::systemEnvironment();
        session.remove(u"VESK_SESSION"_s);
        session.insert(u"WAYLAND_DISPLAY"_s, display);
        QVERIFY(TestSupport::run(u"wl-copy"_s, {u"KEEPME"_s}, session).ok());
        QVERIFY(typeCommand(u"Salom"_s, session));

        // The server is the one process whose command is serve-clipboard on this display.
        auto servers = [&display] {
            const QStringList found = TestSupport::run(u"pgrep"_s, {u"-f"_s, u"serve-clipboard"_s},
                                                       QProcessEnvironment::systemEnvironment())
                                          .out.split(u'\n', Qt::SkipEmptyParts);
            QStringList pids;
            for (const QString &pid : found)
                if (TestSupport::readFile(u"/proc/%1/environ"_s.arg(pid))
                        .split('\0')
                        .contains("WAYLAND_DISPLAY=" + display.toLocal8Bit()))
                    pids.append(pid);
            return pids;
        };
        QTRY_COMPARE_WITH_TIMEOUT(servers().size(), 1, 5000);
        sway.terminate();
        QVERIFY(sway.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(servers().isEmpty(), 5000);
    }
};

QTEST_MAIN(WaylandInsertTest)
#include "tst_waylandinsert.moc"
