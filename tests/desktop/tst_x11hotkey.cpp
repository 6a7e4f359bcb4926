#include "XTestInput.h"
#include "TestSupport.h"
#include "desktop/HotkeyMonitor.h"
#include "desktop/PlatformLoader.h"
#include "TextClients.h"
#include "desktop/TextInjector.h"

#include <QtTest>

// The hotkey monitor with the platform's source (X11's, on this session) in the loop, driven by
// real XTEST input.
class X11HotkeyTest : public QObject
{
    Q_OBJECT

    const std::unique_ptr<PlatformLoader> m_platform = PlatformLoader::load();
    std::unique_ptr<HotkeyMonitor> m_monitor;
    QStringList m_calls;

    void press(const char *key) { XTestInput::key(XTestInput::keycode(key), true); }
    void release(const char *key) { XTestInput::key(XTestInput::keycode(key), false); }

    void startMonitor(HotkeyKind kind)
    {
        m_monitor->setKind(kind);
        m_monitor->start();
        QVERIFY2(m_monitor->hasMonitors(), "the X11 key source was refused");
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        VESK_REQUIRE_DISPLAY();
        QVERIFY(XTestInput::keycode("Control_R") != 0);
    }

    void init()
    {
        m_calls.clear();
        m_monitor = std::make_unique<HotkeyMonitor>();
        m_monitor->setSourceFactory([this](KeyEventSource::Scope scope) {
            return m_platform->keyEventSource(scope, false);
        });
        m_monitor->onStart = [this] { m_calls << "start"; };
        m_monitor->onStop = [this] { m_calls << "stop"; };
        m_monitor->onCancel = [this] { m_calls << "cancel"; };
        m_monitor->setHoldThreshold(0.1);
    }

    void cleanup()
    {
        m_monitor.reset();
        QProcess::execute(u"setxkbmap"_s, {u"-layout"_s, u"us"_s, u"-option"_s, QString()});
        for (const char *key : {"Control_R", "Control_L", "Shift_L", "Super_R", "Escape"})
            release(key);
    }

    // Each kind's keys held and let go; a look-alike key alone (the left one of a pair) starts
    // nothing, and a key or click during the dictation ends it as it should.
    void holdKeysOfEachKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("lookAlike");
        QTest::addColumn<QByteArrayList>("hold");
        QTest::addColumn<QByteArray>("during");
        QTest::addColumn<QString>("end");
        const QString stop = u"stop"_s;
        QTest::newRow("Right Ctrl, not Left Ctrl")
            << int(HotkeyKind::fn) << "Control_L"_ba << QByteArrayList{"Control_R"} << QByteArray()
            << stop;
        // Right Ctrl with the left one down is not fn alone; letting go of either ends it.
        QTest::newRow("Control + Right Ctrl")
            << int(HotkeyKind::controlFn) << QByteArray()
            << QByteArrayList{"Control_L", "Control_R"} << QByteArray() << stop;
        QTest::newRow("Right Super, not Left Super")
            << int(HotkeyKind::rightCommand) << "Super_L"_ba << QByteArrayList{"Super_R"}
            << QByteArray() << stop;
        // Escape during a dictation cancels it: tst_dictation.
        QTest::newRow("click cancels") << int(HotkeyKind::fn) << QByteArray()
                                       << QByteArrayList{"Control_R"} << "click"_ba << u"cancel"_s;
        QTest::newRow("Shift during a Control hold stops")
            << int(HotkeyKind::control) << QByteArray() << QByteArrayList{"Control_L"}
            << "Shift_L"_ba << stop;
    }

    void holdKeysOfEachKind()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, lookAlike);
        QFETCH(QByteArrayList, hold);
        QFETCH(QByteArray, during);
        QFETCH(QString, end);
        startMonitor(HotkeyKind(kind));
        if (!lookAlike.isEmpty()) {
            press(lookAlike.constData());
            QTest::qWait(400);
            release(lookAlike.constData());
            QTest::qWait(100);
            QVERIFY(m_calls.isEmpty());
        }
        for (const QByteArray &key : hold)
            press(key.constData());
        QTRY_COMPARE(m_calls, QStringList{"start"});
        const QStringList ended{"start", end};
        if (during == "click") {
            XTestInput::click(1);
            QTRY_COMPARE(m_calls, ended);
        } else if (!during.isEmpty()) {
            press(during.constData());
            QTRY_COMPARE(m_calls, ended);
            release(during.constData());
        }
        release(hold.first().constData());
        QTRY_COMPARE(m_calls, ended);
        for (const QByteArray &key : hold.mid(1))
            release(key.constData());
        // Nothing more once it ended: no second stop, no stop after a cancel.
        QTest::qWait(200);
        QCOMPARE(m_calls, ended);
    }

    void lockKeysDuringADictationDoNotCancel_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QStringList>("layout");
        for (const char *key : {"Caps_Lock", "Num_Lock", "Scroll_Lock"})
            QTest::newRow(key) << QByteArray(key) << QStringList();
        // Two layouts switched with the Menu key, as a desktop sets them up.
        QTest::newRow("ISO_Next_Group")
            << "ISO_Next_Group"_ba << QStringList{"-layout", "us,ru", "-option", "grp:menu_toggle"};
    }

    void lockKeysDuringADictationDoNotCancel()
    {
        QFETCH(QByteArray, key);
        QFETCH(QStringList, layout);
        if (!layout.isEmpty())
            QCOMPARE(QProcess::execute(u"setxkbmap"_s, layout), 0);
        QVERIFY(XTestInput::keycode(key.constData()) != 0);
        startMonitor(HotkeyKind::fn);
        press("Control_R");
        QTRY_COMPARE(m_calls, QStringList{"start"});
        // Twice, so that a lock is left as it was.
        for (int i = 0; i < 2; ++i) {
            press(key.constData());
            release(key.constData());
        }
        QTest::qWait(200);
        release("Control_R");
        QTRY_COMPARE(m_calls, (QStringList{"start", "stop"}));
    }

    // The app's own typing goes out through the same XTEST device as xdotool, a VNC server or
    // Barrier; the user's keys on it must still count, whenever they come. A modifier held there
    // while a text is typed (which the typing lets go of), and a hold begun right after a paste
    // pressed Ctrl, leave the hold key working.
    void theAppsOwnKeysLeaveTheUsersKeysAlone_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QByteArray>("heldDuringInsertion");
        QTest::addColumn<QByteArray>("holdKey");
        QTest::newRow("Shift held while typing") << int(HotkeyKind::fn) << u"type"_s << "Shift_L"_ba
                                                 << "Control_R"_ba;
        QTest::newRow("Left Ctrl right after a paste")
            << int(HotkeyKind::control) << u"paste"_s << QByteArray() << "Control_L"_ba;
    }

    void theAppsOwnKeysLeaveTheUsersKeysAlone()
    {
        QFETCH(int, kind);
        QFETCH(QString, method);
        QFETCH(QByteArray, heldDuringInsertion);
        QFETCH(QByteArray, holdKey);
        TextClientProcess client(TextClientProcess::Kind::tk);
        QVERIFY(client.start());
        startMonitor(HotkeyKind(kind));
        TextInjector injector(*m_platform);
        if (!heldDuringInsertion.isEmpty()) {
            press(heldDuringInsertion.constData());
            QTest::qWait(100);
        }
        injector.insert(u"ok"_s, method, u"shiftReturn"_s);
        // Let go at once: a person's keys do not wait for the app's.
        if (!heldDuringInsertion.isEmpty())
            release(heldDuringInsertion.constData());
        QTRY_COMPARE_WITH_TIMEOUT(client.received(), u"ok"_s, 10000);
        press(holdKey.constData());
        QTRY_COMPARE(m_calls, QStringList{"start"});
        release(holdKey.constData());
        QTRY_COMPARE(m_calls, (QStringList{"start", "stop"}));
        // Nothing the app posted counted: its typed keys would have cancelled a hold.
        QTRY_VERIFY_WITH_TIMEOUT(!injector.isBusy(), 10000);
        QCOMPARE(m_calls.size(), 2);
    }

    void keyHeldWhenWatchingBeginsIsKnown()
    {
        // The release of a key pressed before start() must not read as a press.
        press("Control_R");
        QTest::qWait(50);
        startMonitor(HotkeyKind::fn);
        release("Control_R");
        QTest::qWait(300);
        QVERIFY(m_calls.isEmpty());
        press("Control_R");
        QTRY_COMPARE(m_calls, QStringList{"start"});
    }
};

QTEST_MAIN(X11HotkeyTest)
#include "tst_x11hotkey.moc"
