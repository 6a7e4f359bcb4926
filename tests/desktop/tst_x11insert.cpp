#include "XTestInput.h"
#include "TestSupport.h"
#include "TextClients.h"
#include "desktop/TextInjector.h"

#include <QtTest>
#include <cstdio>

// Insertions into real clients under the X server: a Qt text field that reports what it holds,
// and xterm. The "user's" clipboard comes from another program (xclip), as on a desktop.
class X11InsertTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TextClientProcess> m_client;
    const std::unique_ptr<PlatformLoader> m_platform = PlatformLoader::load();
    std::unique_ptr<TextInjector> m_injector;

    QString received() const { return m_client->received(); }

    QByteArray clipboardOf(const char *selection, const char *type = "UTF8_STRING")
    {
        return TestSupport::runServing(u"xclip"_s, {u"-selection"_s, QString::fromLatin1(selection),
                                                    u"-t"_s, QString::fromLatin1(type), u"-o"_s});
    }

    // Another program takes the selection with the file's contents, as a user's copy would.
    void copyElsewhere(const char *selection, const QByteArray &data,
                       const char *type = "UTF8_STRING")
    {
        const QString file = m_dir.filePath(u"copy.bin"_s);
        TestSupport::writeFile(file, data);
        // It serves in the background: off this test's output, or ctest waits for it.
        QVERIFY(QProcess::startDetached(
            u"sh"_s, {u"-c"_s, u"exec xclip -selection $0 -t $1 -i \"$2\" >/dev/null 2>&1"_s,
                      QString::fromLatin1(selection), QString::fromLatin1(type), file}));
        QTRY_COMPARE(clipboardOf(selection, type), data);
    }

    void insert(const QString &text, const char *method, const char *newline = "shiftReturn")
    {
        m_injector->insert(text, QString::fromLatin1(method), QString::fromLatin1(newline));
    }

    void waitIdle() { QTRY_VERIFY_WITH_TIMEOUT(!m_injector->isBusy(), 10000); }

    // This process was started by the termination test, to type into its client and be ended.
    static bool typesForAParent() { return qEnvironmentVariableIsSet("VESK_TEST_TYPE_AND_WAIT"); }

    // A keyboard layout as a user's desktop sets it; cleanup() puts back the US one.
    static void setLayout(const char *layout)
    {
        QCOMPARE(QProcess::execute(u"setxkbmap"_s, {QString::fromLatin1(layout)}), 0);
    }

    void startClient(TextClientProcess::Kind kind,
                     const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        m_client = std::make_unique<TextClientProcess>(kind, env);
        QVERIFY(m_client->start());
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        VESK_REQUIRE_DISPLAY();
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        m_injector = std::make_unique<TextInjector>(*m_platform);
        if (!typesForAParent())
            startClient(TextClientProcess::Kind::qt);
    }

    void cleanup()
    {
        m_injector.reset();
        if (XTestInput::capsLockOn())
            XTestInput::tap("Caps_Lock");
        QProcess::execute(u"setxkbmap"_s, {u"us"_s});
        m_client.reset();
    }

    void bindingsGoBackWhenTheProcessIsTerminated()
    {
        if (typesForAParent()) {
            insert(u"中文"_s, "type");
            std::printf("typed\n");
            std::fflush(stdout);
            QTest::qWait(30000);
            return;
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"VESK_TEST_TYPE_AND_WAIT"_s, u"1"_s);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {u"-nocrashhandler"_s, u"bindingsGoBackWhenTheProcessIsTerminated"_s});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("typed"), 30000);
        QTRY_COMPARE(received(), u"中文"_s);
        QVERIFY(XTestInput::keycode("U4E2D") != 0);
        child.terminate();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit); // the signal still ends it
        QVERIFY(XTestInput::keycode("U4E2D") == 0);
    }

    // A modifier the user holds on the server's keyboard, whose release through XTEST alone the
    // server ignores (one held through XTEST like our own keys: tst_x11hotkey).
    void heldModifierDoesNotLeakIntoTyping_data()
    {
        QTest::addColumn<QByteArray>("modifier");
        QTest::newRow("Shift") << "Shift_L"_ba;
        QTest::newRow("Control") << "Control_L"_ba;
    }

    void heldModifierDoesNotLeakIntoTyping()
    {
        QFETCH(QByteArray, modifier);
        const int code = XTestInput::keycode(modifier.constData());
        if (!XTestInput::keyOnCoreKeyboard(code, true))
            QSKIP("the X server has no keyboard device of its own");
        insert(u"abc Привет"_s, "type");
        XTestInput::keyOnCoreKeyboard(code, false);
        QTRY_COMPARE(received(), u"abc Привет"_s);
    }

    // Typed or pasted exactly, whatever the layout and the locks; a line break as Shift+Return.
    void insertionArrivesExactly_data()
    {
        QTest::addColumn<QByteArray>("layout");
        QTest::addColumn<bool>("capsLock");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *layout, bool capsLock, const char *method,
                            const QString &text, const QString &expected = QString()) {
            QTest::newRow(name) << QByteArray(layout) << capsLock << QByteArray(method) << text
                                << (expected.isNull() ? text : expected);
        };
        row("mixed scripts", "us", false, "type", u"Salom, oʻzbek — Привет 中文 😀"_s);
        // More distinct characters than one binding round holds, several times over.
        QString many;
        for (char32_t c = 0x0410; c < 0x0450; ++c)
            many += QString::fromUcs4(&c, 1);
        for (char32_t c = 0x4E00; c < 0x4E40; ++c)
            many += QString::fromUcs4(&c, 1);
        row("many distinct characters", "us", false, "type", many);
        row("shiftReturn", "us", false, "type", u"a\r\nb"_s, u"a\nb"_s);
        // Russian has no Latin letters (and no `v` to paste with); German swaps Y and Z and has
        // no Cyrillic.
        const QString mixed = u"Привет, мир! Zeit yes ʻ€ 123"_s;
        row("ru type", "ru", false, "type", mixed);
        row("ru paste", "ru", false, "paste", mixed);
        row("de type", "de", false, "type", u"Привет Zeit yes"_s);
        row("Caps Lock type", "us", true, "type", u"Hello Привет"_s);
        row("Caps Lock paste", "us", true, "paste", u"Hello paste"_s);
    }

    void insertionArrivesExactly()
    {
        QFETCH(QByteArray, layout);
        QFETCH(bool, capsLock);
        QFETCH(QByteArray, method);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        setLayout(layout.constData());
        if (capsLock) {
            XTestInput::tap("Caps_Lock");
            QVERIFY(XTestInput::capsLockOn());
        }
        insert(text, method.constData());
        QTRY_COMPARE_WITH_TIMEOUT(received(), expected, 10000);
        waitIdle();
        QCOMPARE(XTestInput::capsLockOn(), capsLock);
    }

    void layoutChangeBetweenTwoInsertions()
    {
        insert(u"中文 ok"_s, "type");
        QTRY_COMPARE(received(), u"中文 ok"_s);
        setLayout("de");
        insert(u"Привет Zeit yes"_s, "type");
        QTRY_COMPARE(received(), u"中文 okПривет Zeit yes"_s);
        // Bound still, for a client that reads its keys late, and free again a few seconds on;
        // but a key code another program took meanwhile stays as that program left it.
        const int taken = XTestInput::keycode("U0440");
        QVERIFY(taken != 0);
        XTestInput::bindKeycode(taken, "F20");
        QTRY_VERIFY_WITH_TIMEOUT(XTestInput::keycode("U0438") == 0, 20000);
        QCOMPARE(XTestInput::keycode("F20"), taken);
        XTestInput::bindKeycode(taken, "NoSymbol");
    }

    void typingUnderLoadIsExact_data()
    {
        QTest::addColumn<bool>("tk");
        QTest::newRow("Qt") << false;
        QTest::newRow("Tk") << true;
    }

    void typingUnderLoadIsExact()
    {
        QFETCH(bool, tk);
        if (tk)
            startClient(TextClientProcess::Kind::tk);
        // Two busy loops keep both cores loaded, so the client reads its keys late.
        QProcess loops[2];
        for (QProcess &loop : loops)
            loop.start(u"sh"_s, {u"-c"_s, u"while :; do :; done"_s});
        const auto stop = qScopeGuard([&loops] {
            for (QProcess &loop : loops) {
                loop.kill();
                loop.waitForFinished();
            }
        });
        const QString text = u"Salom, doʻstim! Bugun gʻalaba bizniki. Привет, как "
                             "дела? Ещё чуть-чуть: éèüß € 100. Hello, the quick "
                             "brown fox — yes ok!"_s;
        QCOMPARE(text.size(), 120);
        for (int i = 0; i < 8; ++i)
            insert(text, "type");
        QTRY_COMPARE_WITH_TIMEOUT(received(), text.repeated(8), 60000);
    }

    // The user's text or image is back after a paste, and the primary selection untouched: the
    // app's own, the command line's once it has exited (a background server of its own keeps
    // it), a busy client's that asks for the clipboard well after the paste key, and xterm's,
    // which pastes the primary selection.
    void pasteGivesTheClipboardBack_data()
    {
        QTest::addColumn<TextClientProcess::Kind>("kind");
        QTest::addColumn<bool>("image");
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("text") << TextClientProcess::Kind::qt << false << false;
        QTest::newRow("image") << TextClientProcess::Kind::qt << true << false;
        QTest::newRow("text, command line") << TextClientProcess::Kind::qt << false << true;
        QTest::newRow("image, command line") << TextClientProcess::Kind::qt << true << true;
        QTest::newRow("a late reader") << TextClientProcess::Kind::gtk << false << false;
        QTest::newRow("xterm") << TextClientProcess::Kind::xterm << false << false;
    }

    void pasteGivesTheClipboardBack()
    {
        QFETCH(TextClientProcess::Kind, kind);
        QFETCH(bool, image);
        QFETCH(bool, commandLine);
        const QByteArray data = image ? pngPicture() : "KEEPME"_ba;
        const char *type = image ? "image/png" : "UTF8_STRING";
        copyElsewhere("primary", "selected");
        copyElsewhere("clipboard", data, type);
        if (kind != TextClientProcess::Kind::qt) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"VESK_TEST_PASTE_AFTER_MS"_s, u"1500"_s);
            startClient(kind, env);
        }
        const QString text = u"Salom dunyo"_s;
        if (commandLine) {
            const TestSupport::Run cli = TestSupport::runApp(
                {u"type"_s, text, u"--delay"_s, u"0"_s}, QProcessEnvironment::systemEnvironment());
            QVERIFY2(cli.ok(), qPrintable(cli.err));
        } else {
            insert(text, "paste");
        }
        QTRY_COMPARE_WITH_TIMEOUT(received(), text, 10000);
        waitIdle();
        QCOMPARE(clipboardOf("clipboard", type), data);
        QCOMPARE(clipboardOf("primary"), "selected"_ba);
        // Until someone else copies: then the server is gone.
        copyElsewhere("clipboard", "next");
    }

    void hungClipboardOwnerHoldsUpNothing()
    {
        const std::jthread owner = XTestInput::hungClipboardOwner("kept text");
        QTRY_COMPARE(clipboardOf("clipboard"), "kept text"_ba);
        // How long the event loop goes without turning while the paste asks the owner for a
        // format it never gives: Qt alone would wait 5 s for it.
        QElapsedTimer clock;
        qint64 longest = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this,
                [&] { longest = std::max(longest, clock.restart()); });
        clock.start();
        tick.start(10);
        insert(u"over a hung owner"_s, "paste");
        QTRY_COMPARE(received(), u"over a hung owner"_s);
        waitIdle();
        QVERIFY2(longest < 1000, qPrintable(QString::number(longest)));
        QCOMPARE(clipboardOf("clipboard"), "kept text"_ba);
    }

    // Two pastes in a row end with the user's text.
    void twoPastesInARowEndWithTheUsersText()
    {
        copyElsewhere("clipboard", "mine");
        insert(u"first "_s, "paste");
        QTest::qWait(100);
        insert(u"second"_s, "paste");
        QTRY_COMPARE_WITH_TIMEOUT(received(), u"firstsecond"_s, 5000);
        waitIdle();
        QCOMPARE(clipboardOf("clipboard"), "mine"_ba);
    }

    void newCopyDuringAPasteIsKept()
    {
        copyElsewhere("clipboard", "old");
        insert(u"dictated"_s, "paste");
        QTRY_COMPARE(received(), u"dictated"_s);
        QVERIFY(m_injector->isBusy());
        copyElsewhere("clipboard", "newer");
        waitIdle();
        QTest::qWait(100);
        QCOMPARE(clipboardOf("clipboard"), "newer"_ba);
    }
};

QTEST_MAIN(X11InsertTest)
#include "tst_x11insert.moc"
