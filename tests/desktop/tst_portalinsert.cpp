#include "desktop/wayland/PortalClipboard.h"
#include "desktop/wayland/PortalKeyPoster.h"
#include "PortalMock.h"
#include "TestSupport.h"
#include "desktop/TextInjector.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

namespace {

const QString sample = QStringLiteral("Salom, oʻzbek — Привет, готово! 中文 😀 ok");
// Typed, each character is a press and a release of its keysym.
const qsizetype sampleKeys = 2 * qsizetype(sample.toStdU32String().size());

} // namespace

// Insertion through the RemoteDesktop portal (a mock on a private session bus): the permission
// asked once and remembered, the keys that arrive, and the insertions that cannot be made.
class PortalInsertTest : public QObject
{
    Q_OBJECT

    PortalMock m_portal;

    QVariant ask(const QString &method)
    {
        const QDBusMessage reply = m_portal.connect().call(
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                           QStringLiteral("/org/freedesktop/portal/desktop"),
                                           QStringLiteral("org.freedesktop.portal.Mock"), method));
        return reply.arguments().value(0);
    }

    uint asked() { return ask(QStringLiteral("Asked")).toUInt(); }

    // An array of structures the mock returns: Keys() the keys posted since the test began, in
    // order ("keysym" or "keycode", the value, whether pressed); Down() the keys held now.
    template <typename... T> QList<std::tuple<T...>> items(const QString &method)
    {
        QList<std::tuple<T...>> all;
        const QDBusArgument list = ask(method).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            std::tuple<T...> item;
            list.beginStructure();
            std::apply([&list](auto &...value) { (list >> ... >> value); }, item);
            list.endStructure();
            all.append(item);
        }
        list.endArray();
        return all;
    }
    QList<std::tuple<QString, int, uint>> keys()
    {
        return items<QString, int, uint>(QStringLiteral("Keys"));
    }
    bool noneDown() { return items<QString, int>(QStringLiteral("Down")).isEmpty(); }

    QStringList pasted() { return ask(QStringLiteral("Pasted")).toStringList(); }

    QString storedToken()
    {
        QFile file(PortalKeyPoster::stateFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll())
            .object()
            .value(QStringLiteral("remoteDesktopRestoreToken"))
            .toString();
    }

    QVariantMap lastSelection()
    {
        const QList<QVariantList> calls = m_portal.calls(QStringLiteral("SelectDevices"));
        return calls.isEmpty()
                   ? QVariantMap()
                   : qdbus_cast<QVariantMap>(calls.last().value(1).value<QDBusArgument>());
    }

    std::unique_ptr<PortalKeyPoster> poster(bool canPaste = true)
    {
        auto p = std::make_unique<PortalKeyPoster>(m_portal.connect(), canPaste);
        p->open();
        return p;
    }

    // Inserts the sample and waits until the injector is done.
    static void insertSample(TextInjector &injector, const QString &method)
    {
        QSignalSpy idle(&injector, &TextInjector::idle);
        injector.insert(sample, method, QStringLiteral("shiftReturn"));
        QTRY_COMPARE_WITH_TIMEOUT(idle.count(), 1, 15000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The injector's clipboard is then Qt's own, in this process.
        qputenv("VESK_SESSION", "x11");
        TestSupport::isolateDataDir();
        QVERIFY(m_portal.start(QStringLiteral("mock_remote_desktop_portal.py")));
    }

    void init()
    {
        QFile::remove(PortalKeyPoster::stateFile());
        QVERIFY(m_portal.mock(QStringLiteral("Answer"), {0}));
        QVERIFY(m_portal.mock(QStringLiteral("ForgetKeys")));
        QVERIFY(m_portal.mock(QStringLiteral("OfferClipboard"), {true}));
    }

    void asksOnceAndRemembers()
    {
        QVERIFY(PortalKeyPoster::isOffered(m_portal.connect()));
        QVERIFY(!PortalKeyPoster::isOffered(
            QDBusConnection::connectToBus(QString(), QStringLiteral("no bus"))));
        // What cannot be read there is set aside, not written over.
        QDir().mkpath(QFileInfo(PortalKeyPoster::stateFile()).path());
        QFile garbled(PortalKeyPoster::stateFile());
        QVERIFY(garbled.open(QIODevice::WriteOnly));
        garbled.write("{not json");
        garbled.close();
        const uint before = asked();
        auto first = poster();
        QTRY_COMPARE(first->state(), PortalKeyPoster::State::started);
        const QStringList aside = QDir(QFileInfo(PortalKeyPoster::stateFile()).path())
                                      .entryList({QStringLiteral("portal.json.unreadable-*")});
        QCOMPARE(aside.size(), 1);
        const qsizetype sessions = m_portal.calls(QStringLiteral("CreateSession")).size();
        first->open();
        QCOMPARE(m_portal.calls(QStringLiteral("CreateSession")).size(), sessions);
        QVariantMap selection = lastSelection();
        QCOMPARE(selection.value(QStringLiteral("types")).toUInt(), 1U);
        QCOMPARE(selection.value(QStringLiteral("persist_mode")).toUInt(), 2U);
        QVERIFY(!selection.contains(QStringLiteral("restore_token")));
        QCOMPARE(asked(), before + 1);
        const QString token = storedToken();
        QVERIFY(!token.isEmpty());
        first.reset();

        // The next run (another client) offers the token and is not asked again; the spent
        // token is replaced by the new one.
        auto second = poster();
        QTRY_COMPARE(second->state(), PortalKeyPoster::State::started);
        QCOMPARE(lastSelection().value(QStringLiteral("restore_token")).toString(), token);
        QCOMPARE(asked(), before + 1);
        QVERIFY(!storedToken().isEmpty());
        QVERIFY(storedToken() != token);
    }

    void inserts_data()
    {
        QTest::addColumn<QString>("method");
        // Key codes pressed (positive) and released (negative); none: the text typed as keysyms.
        QTest::addColumn<QList<int>>("keycodes");
        QTest::newRow("typed") << QStringLiteral("type") << QList<int>{};
        QTest::newRow("pasted: Control+V by key position")
            << QStringLiteral("paste") << QList<int>{KEY_LEFTCTRL, KEY_V, -KEY_V, -KEY_LEFTCTRL};
    }

    void inserts()
    {
        QFETCH(QString, method);
        QFETCH(QList<int>, keycodes);
        auto p = poster();
        QTRY_COMPARE(p->state(), PortalKeyPoster::State::started);
        TextInjector injector(std::move(p), std::make_unique<QtClipboardReader>());
        insertSample(injector, method);
        // The portal handles each call on its own: only a call sent after the previous one was
        // answered keeps its place. Done means every key arrived and none is held.
        QVERIFY(noneDown());
        const auto sent = keys();
        QCOMPARE(sent.size(), keycodes.isEmpty() ? sampleKeys : keycodes.size());
        // Key codes in order; or each character a press and a release of its keysym, in order.
        QList<int> codes;
        QString typed;
        for (qsizetype i = 0; i < sent.size(); ++i) {
            const auto &[kind, value, pressed] = sent[i];
            if (!keycodes.isEmpty()) {
                QCOMPARE(kind, QStringLiteral("keycode"));
                codes.append(pressed ? value : -value);
            } else if (i % 2 == 0) {
                QCOMPARE(kind, QStringLiteral("keysym"));
                QCOMPARE(pressed, 1U);
                QCOMPARE(sent[i + 1], std::make_tuple(kind, value, 0U));
                const char32_t c = xkb_keysym_to_utf32(xkb_keysym_t(value));
                typed += QString::fromUcs4(&c, 1);
            }
        }
        QCOMPARE(codes, keycodes);
        QCOMPARE(typed, keycodes.isEmpty() ? sample : QString());
    }

    void pastesThroughTheClipboardPortal_data()
    {
        QTest::addColumn<bool>("portalHasClipboard");
        QTest::newRow("clipboard portal") << true;
        QTest::newRow("no clipboard portal, no data control: typed") << false;
    }

    // Without data control (GNOME), the clipboard goes through the portal session that posts
    // the keys: the transcript is pasted exactly and the user's clipboard comes back.
    void pastesThroughTheClipboardPortal()
    {
        QFETCH(bool, portalHasClipboard);
        QVERIFY(m_portal.mock(QStringLiteral("OfferClipboard"), {portalHasClipboard}));
        const QString users = QStringLiteral("the user's own — words");
        QVERIFY(m_portal.mock(QStringLiteral("Copy"),
                              {QStringLiteral("text/plain;charset=utf-8"), users}));
        auto p = poster(false);
        QTRY_COMPARE(p->state(), PortalKeyPoster::State::started);
        QCOMPARE(p->canPaste(), portalHasClipboard);
        auto clipboard = std::make_unique<PortalClipboard>(p.get());
        TextInjector injector(std::move(p), std::move(clipboard));
        insertSample(injector, QStringLiteral("paste"));
        QVERIFY(noneDown());
        if (!portalHasClipboard) {
            QCOMPARE(pasted(), QStringList());
            QCOMPARE(keys().size(), sampleKeys);
            return;
        }
        QTRY_COMPARE(pasted(), QStringList{sample});
        // What the user had is what the next paste gives.
        QVERIFY(m_portal.mock(QStringLiteral("Paste")));
        QTRY_COMPARE(pasted(), (QStringList{sample, users}));
    }

    void cutShort_data()
    {
        QTest::addColumn<QString>("method");
        // The key call the desktop refuses (counted from 0), or -1.
        QTest::addColumn<int>("refused");
        // Milliseconds after which the app goes away, or -1.
        QTest::addColumn<int>("quitAfterMs");
        QTest::newRow("a key refused during a paste") << QStringLiteral("paste") << 1 << -1;
        QTest::newRow("a key refused while typing") << QStringLiteral("type") << 6 << -1;
        QTest::newRow("the app quits while typing") << QStringLiteral("type") << -1 << 30;
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
            QVERIFY(m_portal.mock(QStringLiteral("RefuseKey"), {refused}));
        auto injector =
            std::make_unique<TextInjector>(std::move(p), std::make_unique<QtClipboardReader>());
        QSignalSpy idle(injector.get(), &TextInjector::idle);
        injector->insert(sample, method, QStringLiteral("shiftReturn"));
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
                                  << QStringLiteral("Typing into other windows was not allowed in "
                                                    "the desktop's dialog.");
        QTest::newRow("not answered yet")
            << -1 << QStringLiteral("Waiting for the desktop to allow typing into other windows.");
    }

    void failsWithoutPermission()
    {
        QFETCH(int, answer);
        QFETCH(QString, reason);
        QVERIFY(m_portal.mock(QStringLiteral("Answer"), {answer}));
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
        injector.insert(sample, QStringLiteral("type"), QStringLiteral("shiftReturn"));
        injector.insert(sample, QStringLiteral("paste"), QStringLiteral("shiftReturn"));
        QCOMPARE(failed.count(), 2);
        QCOMPARE(failed.at(0).at(0).toString(), reason);
        QVERIFY(!injector.isBusy());
        QTest::qWait(100);
        QCOMPARE(keys().size(), 0);
        QVERIFY(storedToken().isEmpty());
    }

    void closedSessionIsReopened()
    {
        auto p = poster();
        QTRY_COMPARE(p->state(), PortalKeyPoster::State::started);
        const qsizetype sessions = m_portal.calls(QStringLiteral("CreateSession")).size();
        const uint before = asked();
        QVERIFY(m_portal.mock(QStringLiteral("CloseSessions")));
        QTRY_COMPARE(m_portal.calls(QStringLiteral("CreateSession")).size(), sessions + 1);
        QTRY_COMPARE(p->state(), PortalKeyPoster::State::started);
        // Reopened with the token from the last start: nobody was asked.
        QCOMPARE(asked(), before);
        p->postKey(KeyPoster::Key::returnKey, 0);
        QTRY_COMPARE(keys(), (QList<std::tuple<QString, int, uint>>{
                                 {QStringLiteral("keycode"), KEY_ENTER, 1U},
                                 {QStringLiteral("keycode"), KEY_ENTER, 0U}}));
    }
};

QTEST_MAIN(PortalInsertTest)
#include "tst_portalinsert.moc"
