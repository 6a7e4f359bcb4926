#include "TestSupport.h"
#include "desktop/wayland/EvdevKeyEventSource.h"
#include "desktop/HotkeyMonitor.h"
#include "PortalMock.h"
#include "desktop/wayland/PortalKeyEventSource.h"
#include "desktop/wayland/PortalShortcuts.h"

#include <QtTest>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

Q_DECLARE_METATYPE(HotkeyKind)

namespace {

// Recorded keyboard input, as the kernel hands it out of /dev/input/event*.
QByteArray key(unsigned short code, int value)
{
    const input_event events[] = {{.type = EV_KEY, .code = code, .value = value},
                                  {.type = EV_SYN, .code = SYN_REPORT, .value = 0}};
    return QByteArray(reinterpret_cast<const char *>(events), sizeof events);
}

} // namespace

// The hold key on Wayland: the shortcuts portal (a mock on a private session bus) and the
// keyboard devices (recorded events through a pipe), each driving the real hotkey monitor.
class WaylandHotkeyTest : public QObject
{
    Q_OBJECT

    PortalMock m_portal;
    QStringList m_calls;

    // Started with a zero threshold: a hold starts before the next key arrives.
    std::unique_ptr<HotkeyMonitor> monitor(std::function<std::unique_ptr<KeyEventSource>()> make,
                                           HotkeyKind kind)
    {
        auto m = std::make_unique<HotkeyMonitor>();
        m->setSourceFactory([make](KeyEventSource::Scope scope) {
            return scope == KeyEventSource::Scope::global ? make() : nullptr;
        });
        m->onStart = [this] { m_calls << "start"; };
        m->onStop = [this] { m_calls << "stop"; };
        m->onCancel = [this] { m_calls << "cancel"; };
        m->setKind(kind);
        m->setHoldThreshold(0);
        m->start();
        return m;
    }

    void mock(const QString &method, const QVariantList &arguments = {})
    {
        QVERIFY(m_portal.mock(method, arguments));
    }

    int bindCalls() { return int(m_portal.calls(u"BindShortcuts"_s).size()); }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        QVERIFY(m_portal.start(u"mock_shortcuts_portal.py"_s));
    }

    void init() { m_calls.clear(); }

    void portalBindsOnceAndFollowsTheKey()
    {
        // A bus without the portal refuses the source, so the next path is taken.
        {
            PortalShortcuts absent(QDBusConnection::connectToBus(QString(), u"none"_s));
            QVERIFY(!PortalKeyEventSource(&absent).install([](const KeyEvent &) {}));
        }
        // The user closes the desktop's dialog: the app says so (and asks again on a restart).
        mock(u"Forget"_s, {true});
        {
            PortalShortcuts refused(m_portal.connect());
            refused.open();
            QTRY_COMPARE(refused.state(), PortalShortcuts::State::failed);
            QCOMPARE(refused.problem(), u"The shortcut was not set up in the desktop's dialog."_s);
        }
        mock(u"Forget"_s, {false});
        const int before = bindCalls();
        auto first = std::make_unique<PortalShortcuts>(m_portal.connect());
        first->open();
        QTRY_COMPARE(first->state(), PortalShortcuts::State::bound);
        QCOMPARE(first->trigger(), u"Ctrl+Alt+Space"_s);
        QCOMPARE(bindCalls(), before + 1);
        first.reset();

        // The next start finds the shortcut the desktop kept: the user is asked nothing again.
        PortalShortcuts second(m_portal.connect());
        second.open();
        QTRY_COMPARE(second.state(), PortalShortcuts::State::bound);
        QCOMPARE(second.trigger(), u"Ctrl+Alt+Space"_s);
        QCOMPARE(bindCalls(), before + 1);

        // The user gives it another key in the desktop's settings.
        mock(u"ChangeTrigger"_s, {u"Pause"_s});
        QTRY_COMPARE(second.trigger(), u"Pause"_s);
    }

    // Short presses start nothing whatever the source: tst_hotkeymonitor.
    void portalHold()
    {
        PortalShortcuts portal(m_portal.connect());
        // The kind is the X11 key's; the desktop's key stands for any of them.
        const auto m = monitor([&] { return std::make_unique<PortalKeyEventSource>(&portal); },
                               HotkeyKind::rightCommand);
        QVERIFY(m->hasMonitors());
        QTRY_COMPARE(portal.state(), PortalShortcuts::State::bound);
        mock(u"Press"_s, {PortalShortcuts::shortcutId});
        QTRY_VERIFY(m->heldKind().has_value());
        // A repeated activation while held is still the same hold.
        mock(u"Press"_s, {PortalShortcuts::shortcutId});
        QTRY_COMPARE(m_calls, QStringList{"start"});
        mock(u"Release"_s, {PortalShortcuts::shortcutId});
        QTRY_VERIFY(!m->heldKind().has_value());
        QCOMPARE(m_calls, (QStringList{"start", "stop"}));
    }

    void evdevHold_data()
    {
        QTest::addColumn<HotkeyKind>("kind");
        // Written one after the other, each once the one before has been read.
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QStringList>("expected");
        const QStringList startStop{"start", "stop"};
        const QByteArray press = key(KEY_RIGHTCTRL, 1);
        const QByteArray release = key(KEY_RIGHTCTRL, 0);
        QTest::newRow("Right Ctrl held")
            << HotkeyKind::fn << QList<QByteArray>{press, release} << startStop;
        QTest::newRow("auto-repeat is no other key")
            << HotkeyKind::fn
            << QList<QByteArray>{press, key(KEY_RIGHTCTRL, 2) + key(KEY_RIGHTCTRL, 2), release}
            << startStop;
        QTest::newRow("Escape cancels")
            << HotkeyKind::fn << QList<QByteArray>{press, key(KEY_ESC, 1), release}
            << QStringList{"start", "cancel"};
        QTest::newRow("left Ctrl is not the fn key")
            << HotkeyKind::fn << QList<QByteArray>{key(KEY_LEFTCTRL, 1), key(KEY_LEFTCTRL, 0)}
            << QStringList{};
        QTest::newRow("Control + Right Ctrl")
            << HotkeyKind::controlFn << QList<QByteArray>{key(KEY_LEFTCTRL, 1) + press, release}
            << startStop;
        QTest::newRow("a record split between reads")
            << HotkeyKind::fn
            << QList<QByteArray>{press.left(5), press.mid(5), release.left(30), release.mid(30)}
            << startStop;
    }

    void evdevHold()
    {
        QFETCH(HotkeyKind, kind);
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QStringList, expected);
        int fds[2];
        QCOMPARE(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
        const int reader = fds[0];
        const auto m = monitor(
            [reader] { return std::make_unique<EvdevKeyEventSource>(QList<int>{reader}); }, kind);
        QVERIFY(m->hasMonitors());
        for (const QByteArray &bytes : writes) {
            QCOMPARE(::write(fds[1], bytes.constData(), size_t(bytes.size())), bytes.size());
            QTRY_VERIFY([reader] {
                int waiting = 0;
                return ::ioctl(reader, FIONREAD, &waiting) == 0 && waiting == 0;
            }());
            if (m->heldKind())
                QTRY_VERIFY(m->isRecording());
        }
        QTRY_COMPARE(m_calls, expected);
        ::close(fds[1]);
    }
};

QTEST_GUILESS_MAIN(WaylandHotkeyTest)
#include "tst_waylandhotkey.moc"
