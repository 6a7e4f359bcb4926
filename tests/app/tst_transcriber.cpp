#include "Config.h"
#include "FakeGeminiServer.h"
#include "GeminiTranscriber.h"
#include "TestSupport.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// The dictation's request path: worker thread, answers on the main thread, cancel.
class TranscriberTest : public QObject
{
    Q_OBJECT

    FakeGeminiServer *m_server = nullptr;
    QTemporaryDir m_dir;
    QString m_file;

    struct Answer
    {
        bool called = false;
        std::optional<QString> text;
        QString error;
        bool onMainThread = false;
    };

    TranscriberPort::Done recordInto(Answer &a)
    {
        return [&a](std::optional<QString> text, QString error) {
            a.called = true;
            a.text = std::move(text);
            a.error = std::move(error);
            a.onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        };
    }

    static Config keyed()
    {
        Config c;
        c.apiKey = QStringLiteral("k-1");
        return c;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        qunsetenv("GEMINI_API_KEY");
        m_server = new FakeGeminiServer(this);
        qputenv("VESK_GEMINI_BASE_URL", m_server->baseUrl().toUtf8());
        m_file = m_dir.filePath(QStringLiteral("r.wav"));
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, '\x11'));
    }

    void init() { m_server->clear(); }

    // The connection is opened while the user speaks, only when a request can follow, and the
    // dictations after it travel on it.
    void theConnectionIsOpenedAheadAndKept()
    {
        m_server->setKeepAlive(true);
        const auto closing = qScopeGuard([this] { m_server->setKeepAlive(false); });
        GeminiTranscriber t;
        const qsizetype before = m_server->connections().size();
        t.warmUp(Config());
        QTest::qWait(300);
        QCOMPARE(m_server->connections().size(), before);

        t.warmUp(keyed());
        QTRY_COMPARE(m_server->connections().size(), before + 1);
        QVERIFY(m_server->requests().isEmpty());
        for (int i = 0; i < 2; ++i) {
            m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(QStringLiteral("bir")));
            Answer a;
            t.transcribe(keyed(), m_file, recordInto(a));
            QTRY_VERIFY(a.called);
            QCOMPARE(a.text, std::optional<QString>(QStringLiteral("bir")));
        }
        QCOMPARE(m_server->connections().size(), before + 1);
        for (const auto &r : m_server->requests())
            QCOMPARE(r.connection, int(before + 1));
    }

    // Behind a proxy set in the environment the connection opened ahead goes through it, as the
    // request will, or the request cannot use it.
    void theWarmUpTakesTheRequestsProxy()
    {
        QTcpServer proxy;
        QVERIFY(proxy.listen(QHostAddress::LocalHost));
        QByteArray asked;
        connect(&proxy, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *s = proxy.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, this, [&asked, s] { asked += s->readAll(); });
        });
        // A name only the proxy resolves; were it looked up here, it would still be loopback.
        const QString aliases = m_dir.filePath(QStringLiteral("hosts"));
        QFile f(aliases);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("vesk-gemini-test localhost\n");
        f.close();
        const QByteArray base = qgetenv("VESK_GEMINI_BASE_URL");
        const auto restore = qScopeGuard([base] {
            qputenv("VESK_GEMINI_BASE_URL", base);
            qunsetenv("https_proxy");
            qunsetenv("HOSTALIASES");
        });
        qputenv("HOSTALIASES", QFile::encodeName(aliases));
        qputenv("https_proxy", "http://127.0.0.1:" + QByteArray::number(proxy.serverPort()));
        qputenv("VESK_GEMINI_BASE_URL", "https://vesk-gemini-test:8443");

        GeminiTranscriber t;
        t.warmUp(keyed());
        QTRY_VERIFY2(asked.startsWith("CONNECT vesk-gemini-test:8443 "), asked.constData());
    }

    void answersArriveOnTheMainThread()
    {
        GeminiTranscriber t;
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(QStringLiteral("bir ikki")));
        Answer a;
        t.transcribe(keyed(), m_file, recordInto(a));
        QTRY_VERIFY(a.called);
        QCOMPARE(a.text, std::optional<QString>(QStringLiteral("bir ikki")));
        QVERIFY(a.error.isEmpty());
        QVERIFY(a.onMainThread);
        QVERIFY(m_server->requests().first().body.contains(QByteArray(3000, '\x11').toBase64()));

        // The snapshot's model picks the endpoint.
        Config transcribeModel = keyed();
        transcribeModel.model = QStringLiteral("x-transcribe");
        m_server->enqueue(200, FakeGeminiServer::interactionsAnswer(QStringLiteral("uch")));
        Answer b;
        t.transcribe(transcribeModel, m_file, recordInto(b));
        QTRY_VERIFY(b.called);
        QCOMPARE(b.text, std::optional<QString>(QStringLiteral("uch")));
        QCOMPARE(m_server->requests().last().target, QByteArray("/v1beta/interactions"));
    }

    void failuresCarryTheirDescription()
    {
        GeminiTranscriber t;
        Answer noKey;
        t.transcribe(Config(), m_file, recordInto(noKey));
        QTRY_VERIFY(noKey.called);
        QVERIFY(!noKey.text);
        QCOMPARE(noKey.error,
                 QStringLiteral("No API key. Add it in Settings, or set GEMINI_API_KEY."));

        Answer missing;
        t.transcribe(keyed(), m_dir.filePath(QStringLiteral("gone.wav")), recordInto(missing));
        QTRY_VERIFY(missing.called);
        QVERIFY(!missing.text);
        QVERIFY(!missing.error.isEmpty());

        m_server->enqueue(400, FakeGeminiServer::errorAnswer(QStringLiteral("bad audio")));
        Answer rejected;
        t.transcribe(keyed(), m_file, recordInto(rejected));
        QTRY_VERIFY(rejected.called);
        QCOMPARE(rejected.error, QStringLiteral("Gemini returned 400: bad audio"));
        QCOMPARE(m_server->requests().size(), 1);
    }

    void cancelDropsTheAnswerAndTheNextRequestWorks()
    {
        GeminiTranscriber t;
        m_server->enqueue({200, {}, true});
        Answer cancelled;
        t.transcribe(keyed(), m_file, recordInto(cancelled));
        QVERIFY(m_server->waitForRequests(1));
        t.cancel();
        QTest::qWait(200);
        QVERIFY(!cancelled.called);

        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(QStringLiteral("keyin")));
        Answer next;
        t.transcribe(keyed(), m_file, recordInto(next));
        QTRY_VERIFY(next.called);
        QCOMPARE(next.text, std::optional<QString>(QStringLiteral("keyin")));
        QVERIFY(!cancelled.called);
    }

    void destroyingMidRequestIsClean()
    {
        m_server->enqueue({200, {}, true});
        Answer a;
        {
            GeminiTranscriber t;
            t.transcribe(keyed(), m_file, recordInto(a));
            QVERIFY(m_server->waitForRequests(1));
        }
        QTest::qWait(100);
        QVERIFY(!a.called);
    }
};

QTEST_GUILESS_MAIN(TranscriberTest)
#include "tst_transcriber.moc"
