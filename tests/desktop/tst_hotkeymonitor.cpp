#include "desktop/HotkeyKindInfo.h"
#include "desktop/HotkeyMonitor.h"
#include "desktop/KeyTranslator.h"
#include "LogMessages.h"
#include "TestSupport.h"

#include <QtTest>

Q_DECLARE_METATYPE(KeyEvent)
Q_DECLARE_METATYPE(HotkeyKind)

namespace {

using namespace ModifierFlag;

// The platform boundary: events handed in by the test instead of the desktop.
class FakeSource : public KeyEventSource
{
public:
    explicit FakeSource(bool accept, FakeSource **live) : m_accept(accept), m_live(live) {}
    ~FakeSource() override
    {
        if (*m_live == this)
            *m_live = nullptr;
    }
    bool install(Handler handler) override
    {
        if (!m_accept)
            return false;
        m_handler = std::move(handler);
        *m_live = this;
        return true;
    }
    void send(const KeyEvent &event) { m_handler(event); }

private:
    bool m_accept;
    FakeSource **m_live;
    Handler m_handler;
};

KeyEvent flags(quint64 value, int keyCode = VirtualKey::other)
{
    return {KeyEvent::Type::flagsChanged, value, keyCode};
}

KeyEvent keyDown(int keyCode)
{
    return {KeyEvent::Type::keyDown, 0, keyCode};
}

const KeyEvent click{KeyEvent::Type::leftMouseDown, 0, VirtualKey::other};

} // namespace

class HotkeyMonitorTest : public QObject
{
    Q_OBJECT

    FakeSource *m_source = nullptr;
    std::unique_ptr<HotkeyMonitor> m_monitor;
    QStringList m_calls;
    bool m_globalRefused = false;

    void send(const KeyEvent &event)
    {
        QVERIFY(m_source);
        m_source->send(event);
    }

    // Holds the key until the start has been called.
    void holdUntilStart(quint64 held, int keyCode = VirtualKey::other)
    {
        send(flags(held, keyCode));
        QTRY_COMPARE(m_calls, QStringList{"start"});
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void init()
    {
        Log::reset();
        m_calls.clear();
        m_globalRefused = false;
        m_monitor = std::make_unique<HotkeyMonitor>();
        m_monitor->setSourceFactory([this](KeyEventSource::Scope scope) {
            const bool accept = scope == KeyEventSource::Scope::local || !m_globalRefused;
            return std::make_unique<FakeSource>(accept, &m_source);
        });
        m_monitor->onStart = [this] { m_calls << "start"; };
        m_monitor->onStop = [this] { m_calls << "stop"; };
        m_monitor->onCancel = [this] { m_calls << "cancel"; };
        m_monitor->setHoldThreshold(0.05);
        m_monitor->setKind(HotkeyKind::control);
        m_monitor->start();
    }

    void cleanup() { m_monitor.reset(); }

    void heldConditionsOfEveryKind_data()
    {
        QTest::addColumn<HotkeyKind>("kind");
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<bool>("held");
        QTest::newRow("control with fn") << HotkeyKind::control << (control | function) << true;
        QTest::newRow("controlFn needs both") << HotkeyKind::controlFn << control << false;
        QTest::newRow("fn with control") << HotkeyKind::fn << (function | control) << false;
        QTest::newRow("caps lock never matters") << HotkeyKind::fn << (function | 0x10000) << true;
        QTest::newRow("command with option")
            << HotkeyKind::rightCommand << (command | option) << false;
    }

    void heldConditionsOfEveryKind()
    {
        QFETCH(HotkeyKind, kind);
        QFETCH(quint64, flags);
        QFETCH(bool, held);
        QCOMPARE(HotkeyKindInfo::isHeld(kind, flags), held);
    }

    // After the hold has started: the events that follow, how the dictation ends, and what the
    // log says of it. Nothing after the end calls anything more.
    void whatEndsADictation_data()
    {
        QTest::addColumn<QList<KeyEvent>>("events");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("logged");
        QTest::newRow("release stops") << QList<KeyEvent>{flags(0)} << "stop"
                                       << "hotkey released, stopping";
        // Fn added still holds `control`: only the key ends it.
        QTest::newRow("another key or a click cancels once")
            << QList<KeyEvent>{flags(control | function), keyDown(0), click, flags(0)} << "cancel"
            << "another key pressed while holding, cancelling";
        QTest::newRow("Escape cancels")
            << QList<KeyEvent>{keyDown(VirtualKey::escape), flags(0)} << "cancel"
            << "escape pressed, cancelling";
    }

    void whatEndsADictation()
    {
        QFETCH(QList<KeyEvent>, events);
        QFETCH(QString, end);
        QFETCH(QString, logged);
        holdUntilStart(control);
        for (const KeyEvent &event : events)
            send(event);
        QCOMPARE(m_calls, (QStringList{"start", end}));
        const QStringList log = logMessages();
        QVERIFY(log.contains(u"hold reached, starting dictation"_s));
        QVERIFY2(log.contains(logged), qPrintable(log.join(u'\n')));
    }

    void shortPressOrDestroyedMonitorCallsNothing()
    {
        // The key going down only readies a start, at once, before the threshold.
        int presses = 0;
        m_monitor->onPress = [&] { ++presses; };
        m_monitor->setHoldThreshold(0.2);
        send(flags(control));
        QCOMPARE(presses, 1);
        send(flags(0));
        QTest::qWait(400);
        QVERIFY(m_calls.isEmpty());
        // A monitor destroyed during a hold never calls back.
        send(flags(control));
        m_monitor.reset();
        QTest::qWait(400);
        QVERIFY(m_calls.isEmpty());
    }

    void rightCommandNeedsTheRightKey()
    {
        // The left one alone starts nothing: tst_x11hotkey.
        m_monitor->setKind(HotkeyKind::rightCommand);
        holdUntilStart(command, VirtualKey::rightCommand);
        // The left one as well still holds Command: no release.
        send(flags(command, VirtualKey::leftCommand));
        QCOMPARE(m_calls.size(), 1);
        send(flags(0, VirtualKey::rightCommand));
        QCOMPARE(m_calls, (QStringList{"start", "stop"}));
    }

    void keyOrClickBeforeThresholdAbandonsTheHold_data()
    {
        QTest::addColumn<KeyEvent>("event");
        QTest::newRow("key") << keyDown(0);
        QTest::newRow("click") << click;
        QTest::newRow("escape") << keyDown(VirtualKey::escape);
    }

    void keyOrClickBeforeThresholdAbandonsTheHold()
    {
        QFETCH(KeyEvent, event);
        m_monitor->setHoldThreshold(0.15);
        send(flags(control));
        send(event);
        QTest::qWait(300);
        QVERIFY(m_calls.isEmpty());
        // Still down, still abandoned: a new hold needs a release first.
        send(flags(control | function));
        QTest::qWait(300);
        QVERIFY(m_calls.isEmpty());
        send(flags(0));
        holdUntilStart(control);
    }

    void escapeWithExternalRecording()
    {
        send(keyDown(VirtualKey::escape));
        QVERIFY(m_calls.isEmpty());
        m_monitor->setExternalRecording(true);
        send(keyDown(VirtualKey::escape));
        QCOMPARE(m_calls, QStringList{"cancel"});
        send(keyDown(0));
        QCOMPARE(m_calls.size(), 1);
        // While holding: the start is cancelled as well.
        m_monitor->setHoldThreshold(0.15);
        send(flags(control));
        send(keyDown(VirtualKey::escape));
        QTest::qWait(300);
        QCOMPARE(m_calls, (QStringList{"cancel", "cancel"}));
    }

    void startDuringDictationResetsSilently()
    {
        holdUntilStart(control);
        m_monitor->setExternalRecording(true);
        m_monitor->start();
        QVERIFY(!m_monitor->isRecording());
        QVERIFY(m_monitor->externalRecording());
        send(flags(0));
        send(flags(control | shift));
        QCOMPARE(m_calls, QStringList{"start"});
        m_monitor->stop();
        QVERIFY(!m_monitor->hasMonitors());
        QVERIFY(!m_source);
    }

    void startLogsKindAndTrust()
    {
        m_monitor->setKind(HotkeyKind::fn);
        m_monitor->setTrustCheck([] { return true; });
        m_monitor->start();
        // Said before watching begins, and once it has.
        QCOMPARE(logMessages().mid(logMessages().size() - 2),
                 (QStringList{"hotkey monitor starting, kind=fn accessibility=true",
                              "hotkey monitor watching the whole desktop"}));
    }

    void refusedGlobalSourceFallsBackToLocal()
    {
        m_globalRefused = true;
        m_monitor->start();
        QVERIFY(logMessages().contains(u"global flagsChanged monitor could not be installed"_s));
        QVERIFY(m_monitor->hasMonitors());
        holdUntilStart(control);
    }

    // Which key is which, and the Escape, the plain keys and the buttons: tst_x11hotkey.
    void translatorTracksModifiersByKey()
    {
        KeyTranslator t;
        using R = KeyTranslator::Role;
        QVERIFY(t.press(105, R::controlRight));
        QVERIFY(!t.press(105, R::controlRight)); // auto-repeat reports no change
        QCOMPARE(t.press(134, R::superRight)->flags, function | command);
        QCOMPARE(t.press(9, R::escape)->keyCode, VirtualKey::escape);
        QCOMPARE(t.press(38, R::none)->keyCode, VirtualKey::other);
        QCOMPARE(t.release(105)->flags, command);
        QVERIFY(!t.release(38));                 // plain keys report nothing on release
        QVERIFY(!KeyTranslator::buttonPress(4)); // the wheel is no click
    }
};

QTEST_MAIN(HotkeyMonitorTest)
#include "tst_hotkeymonitor.moc"
