#include "TestSupport.h"
#include "desktop/wayland/PortalClipboard.h"
#include "desktop/wayland/PortalKeyPoster.h"
#include "PortalMock.h"
#include "desktop/TextInjector.h"

#include <QtTest>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

namespace {

const QString sample = u"Salom, oʻzbek — Привет, готово! 中文 😀 ok"_s;
// Typed, each character is a press and a release of its keysym.
const qsizetype sampleKeys = 2 * qsizetype(sample.toStdU32String().size());

// A key the portal was sent: "keysym" or "keycode", the value, whether pressed.
QString key(const char *kind, int value, int pressed)
{
    return u"%1 %2 %3"_s.arg(QLatin1String(kind)).arg(value).arg(pressed);
}

} // namespace

// Insertion through the RemoteDesktop portal (a mock on a private session bus): the permission
// asked once and remembered, the keys that arrive, and the insertions that cannot be made.
class PortalInsertTest : public QObject
{
    Q_OBJECT

    PortalMock m_portal;

    QVariant state(const QString &name)
    {
        return m_portal.call(u"State"_s, {name})
            .arguments()
            .value(0)
            .value<QDBusVariant>()
            .variant();
    }

    uint asked() { return state(u"asked"_s).toUInt(); }
    // The keys posted since the test began, in the order the portal handled them.
    QStringList keys() { return state(u"keys"_s).toStringList(); }
    bool noneDown() { return state(u"down"_s).toUInt() == 0; }
    QStringList pasted() { return state(u"pasted"_s).toStringList(); }

    QString storedToken()
    {
        return QJsonDocument::fromJson(TestSupport::readFile(PortalKeyPoster::stateFile()))
            .object()
            .value(u"remoteDesktopRestoreToken"_s)
            .toString();
    }

    QVariantMap lastSelection()
    {
        const QVariant options = m_portal.calls(u"SelectDevices"_s).constLast().value(1);
        return qdbus_cast<QVariantMap>(options.value<QDBusArgument>());
    }

    std::unique_ptr<PortalKeyPoster> poster(bool canPaste = true)
    {
        auto p = std::make_unique<PortalKeyPoster>(m_portal.connect(), canPaste);
        p->open();
        return p;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The injector's clipboard is then Qt's own, in this process.
        qputenv("VESK_SESSION", "x11");
        TestSupport::isolateDataDir();
        QVERIFY(m_portal.start(u"mock_remote_desktop_portal.py"_s));
    }

    void init()
    {
        QFile::remove(PortalKeyPoster::stateFile());
        QVERIFY(m_portal.mock(u"Set"_s, {u"answer"_s, 0}));
        QVERIFY(m_portal.mock(u"ForgetKeys"_s));
        QVERIFY(m_portal.mock(u"Set"_s, {u"offer_clipboard"_s, 1}));
    }

    void asksOnceAndRemembers()
    {
        QVERIFY(PortalKeyPoster::isOffered(m_portal.connect()));
        QVERIFY(!PortalKeyPoster::isOffered(QDBusConnection::connectToBus(QString(), u"no bus"_s)));
        // What cannot be read there is set aside, not written over.
        QDir().mkpath(QFileInfo(PortalKeyPoster::stateFile()).path());
        TestSupport::writeFile(PortalKeyPoster::stateFile(), "{not json");
        const uint before = asked();
        auto first = poster();
        QTRY_COMPARE(first->state(), PortalKeyPoster::State::started);
        const QStringList aside = QDir(QFileInfo(PortalKeyPoster::stateFile()).path())
                                      .entryList({u"portal.json.unreadable-*"_s});
        QCOMPARE(aside.size(), 1);
        const qsizetype sessions = m_portal.calls(u"CreateSession"_s).size();
        first->open();
        QCOMPARE(m_portal.calls(u"CreateSession"_s).size(), sessions);
        QVariantMap selection = lastSelection();
        QCOMPARE(selection.value(u"types"_s).toUInt(), 1U);
        QCOMPARE(selection.value(u"persist_mode"_s).toUInt(), 2U);
        QVERIFY(!selection.contains(u"restore_token"_s));
        const QString token = storedToken();
        first.reset();

        // The next run (another client) offers the token and is not asked again (the count at
        // the end); the spent token is replaced by the new one.
        auto second = poster();
        QTRY_COMPARE(second->state(), PortalKeyPoster::State::started);
        QCOMPARE(lastSelection().value(u"restore_token"_s).toString(), token);
        QVERIFY(!storedToken().isEmpty());
        QVERIFY(storedToken() != token);

        // The desktop closes the session: it is opened again with the last token, asking nobody.
        const qsizetype opened = m_portal.calls(u"CreateSession"_s).size();
        QVERIFY(m_portal.mock(u"CloseSessions"_s));
        QTRY_COMPARE(m_portal.calls(u"CreateSession"_s).size(), opened + 1);
        QTRY_COMPARE(second->state(), PortalKeyPoster::State::started);
        // Asked once in all: an empty or unsaved token would have asked again.
        QCOMPARE(asked(), before + 1);
        second->postKey(KeyPoster::Key::returnKey, 0);
        QTRY_COMPARE(keys(),
                     (QStringList{key("keycode", KEY_ENTER, 1), key("keycode", KEY_ENTER, 0)}));
    }

    void pastesThroughTheClipboardPortal_data()
    {
        QTest::addColumn<bool>("portalHasClipboard");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("clipboard portal: Control+V by key position")
            << true
            << QStringList{key("keycode", KEY_LEFTCTRL, 1), key("keycode", KEY_V, 1),
                           key("keycode", KEY_V, 0), key("keycode", KEY_LEFTCTRL, 0)};
        // Each character a press and a release of its keysym, in order.
        QStringList typed;
        for (const char32_t c : sample.toStdU32String())
            for (const int pressed : {1, 0})
                typed.append(key("keysym", int(xkb_utf32_to_keysym(c)), pressed));
        QTest::newRow("no clipboard portal, no data control: typed") << false << typed;
    }

    // Without data control (GNOME), the clipboard goes through the portal session that posts
    // the keys: the transcript is pasted exactly and the user's clipboard comes back. The portal
    // handles each call on its own: only a call sent after the previous one was answered keeps
    // its place. Done means every key arrived and none is held.
    void pastesThroughTheClipboardPortal()
    {
        QFETCH(bool, portalHasClipboard);
        QFETCH(QStringList, expected);
        QVERIFY(m_portal.mock(u"Set"_s, {u"offer_clipboard"_s, int(portalHasClipboard)}));
        const QString users = u"the user's own — words"_s;
        QVERIFY(m_portal.mock(u"Copy"_s, {u"text/plain;charset=utf-8"_s, users}));
        auto p = poster(false);
        QTRY_COMPARE(p->state(), PortalKeyPoster::State::started);
        QCOMPARE(p->canPaste(), portalHasClipboard);
        auto clipboard = std::make_unique<PortalClipboard>(p.get());
        TextInjector injector(std::move(p), std::move(clipboard));
        QSignalSpy idle(&injector, &TextInjector::idle);
        injector.insert(sample, u"paste"_s, u"shiftReturn"_s);
        QTRY_COMPARE_WITH_TIMEOUT(idle.count(), 1, 15000);
        QVERIFY(noneDown());
        QCOMPARE(keys(), expected);
        if (!portalHasClipboard)
            return;
        QTRY_COMPARE(pasted(), QStringList{sample});
        // What the user had is what the next paste gives.
        QVERIFY(m_portal.mock(u"Paste"_s));
        QTRY_COMPARE(pasted(), (QStringList{sample, users}));
    }

    void cutShort_data()
    {
        QTest::addColumn<QString>("method");
        // The key call the desktop refuses (counted from 0), or -1.
        QTest::addColumn<int>("refused");
        // Milliseconds after which the app goes away, or -1.
        QTest::addColumn<int>("quitAfterMs");
        QTest::newRow("a key refused during a paste") << u"paste"_s << 1 << -1;
        QTest::newRow("a key refused while typing") << u"type"_s << 6 << -1;
        QTest::newRow("the app quits while typing") << u"type"_s << -1 << 30;
    }

    // However an insertion ends, no key stays down (a held Shift or Control would change every
    // later keystroke on the desktop).
    void cutShort()
    {
        QFETCH(QString, method);
        QFETCH(int, refused);
        QFETCH(int, quitAfterMs);
        auto p = poster();
        QTRY_COMPARE(p->state(), PortalKeyPoster::State::started);
        if (refused >= 0)
            QVERIFY(m_portal.mock(u"Set"_s, {u"refuse_after"_s, refused}));
        auto injector =
            std::make_unique<TextInjector>(std::move(p), std::make_unique<QtClipboardReader>());
        QSignalSpy idle(injector.get(), &TextInjector::idle);
        injector->insert(sample, method, u"shiftReturn"_s);
        if (quitAfterMs >= 0) {
            QTest::qWait(quitAfterMs);
            injector.reset();
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(idle.count(), 1, 15000);
        }
        QTRY_VERIFY(!keys().isEmpty());
        QTest::qWait(50);
        QVERIFY(noneDown());
        QVERIFY(keys().size() < sampleKeys);
    }

    void failsWithoutPermission_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("reason");
        QTest::newRow("declined") << 1
                                  << u"Typing into other windows was not allowed in "
                                     "the desktop's dialog."_s;
        QTest::newRow("not answered yet")
            << -1 << u"Waiting for the desktop to allow typing into other windows."_s;
    }

    void failsWithoutPermission()
    {
        QFETCH(int, answer);
        QFETCH(QString, reason);
        QVERIFY(m_portal.mock(u"Set"_s, {u"answer"_s, answer}));
        const uint before = asked();
        auto p = poster();
        QTRY_COMPARE(asked(), before + 1);
        if (answer > 0) {
            QTRY_COMPARE(p->state(), PortalKeyPoster::State::failed);
            // The portal closes the refused session just after.
            QTest::qWait(100);
        }
        TextInjector injector(std::move(p), std::make_unique<QtClipboardReader>());
        QSignalSpy failed(&injector, &TextInjector::failed);
        injector.insert(sample, u"type"_s, u"shiftReturn"_s);
        injector.insert(sample, u"paste"_s, u"shiftReturn"_s);
        QCOMPARE(failed.count(), 2);
        QCOMPARE(failed.at(0).at(0).toString(), reason);
        QVERIFY(!injector.isBusy());
        QTest::qWait(100);
        QCOMPARE(keys().size(), 0);
        QVERIFY(storedToken().isEmpty());
    }
};

QTEST_MAIN(PortalInsertTest)
#include "tst_portalinsert.moc"
