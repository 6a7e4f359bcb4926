#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "FakeLiveServer.h"
#include "app/services/GeminiTranscriber.h"
#include "LogMessages.h"
#include "TestSupport.h"
#include "WaveFiles.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <cmath>
#include <numeric>

// The dictation's request path: worker thread, answers on the main thread, cancel.
class TranscriberTest : public QObject
{
    Q_OBJECT

    FakeGeminiServer *m_server = nullptr;
    FakeLiveServer *m_live = nullptr;
    QTemporaryDir m_dir;
    QString m_speech; // 3 s of a spoken-like tone, as the recorder writes it
    QByteArray m_pcm; // its samples

    struct Answer
    {
        bool called = false;
        std::optional<QString> text;
        QString error;
        bool onMainThread = false;
    };

    // Shared with the callback, which may outlive a case that waited in vain.
    static TranscriberPort::Done recordInto(const std::shared_ptr<Answer> &a)
    {
        return [a](std::optional<QString> text, QString error) {
            a->called = true;
            a->text = std::move(text);
            a->error = std::move(error);
            a->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        };
    }

    // A request and its answer, waited for.
    static Answer transcribe(TranscriberPort &t, const Config &c, const QString &file)
    {
        const auto a = std::make_shared<Answer>();
        t.transcribe(c, file, recordInto(a));
        // Not called in time: the caller's checks tell.
        (void)QTest::qWaitFor([&a] { return a->called; }, 10000);
        return *a;
    }

    // With a key, for the default model or a live one.
    static Config keyed(bool live = false)
    {
        Config c;
        c.apiKey = u"k-1"_s;
        if (live)
            c.model = u"gemini-3.5-transcribe-live"_s;
        return c;
    }

    // The recording's audio as the capture hands it over: 20 ms at a time, in real time.
    static void feedAll(TranscriberPort &t, const QByteArray &pcm, qsizetype from = 0,
                        qsizetype to = -1)
    {
        const qsizetype end = to < 0 ? pcm.size() : to;
        for (qsizetype at = from; at < end; at += 640) {
            t.feed(pcm.mid(at, std::min<qsizetype>(640, end - at)));
            QTest::qWait(2);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        qunsetenv("GEMINI_API_KEY");
        m_server = new FakeGeminiServer(this);
        qputenv("VESK_GEMINI_BASE_URL", m_server->baseUrl().toUtf8());

        m_live = new FakeLiveServer(m_server, this);
        m_speech = m_dir.filePath(u"speech.wav"_s);
        std::vector<short> samples(3 * 16000);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = short(8000 * std::sin(double(i) * 2 * M_PI * 220 / 16000) *
                               (0.6 + 0.4 * std::sin(double(i) * 2 * M_PI * 3 / 16000)));
        QVERIFY(WaveFiles::writeMono16k(m_speech, samples));
        m_pcm = QByteArray(reinterpret_cast<const char *>(samples.data()),
                           qsizetype(samples.size() * 2));
    }

    void init()
    {
        m_server->clear();
        m_live->clear();
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
        const QString aliases = m_dir.filePath(u"hosts"_s);
        TestSupport::writeFile(aliases, "vesk-gemini-test localhost\n");
        const auto restore = qScopeGuard([this] {
            qputenv("VESK_GEMINI_BASE_URL", m_server->baseUrl().toUtf8());
            qunsetenv("https_proxy");
            qunsetenv("HOSTALIASES");
        });
        qputenv("HOSTALIASES", QFile::encodeName(aliases));
        qputenv("https_proxy", "http://127.0.0.1:" + QByteArray::number(proxy.serverPort()));
        qputenv("VESK_GEMINI_BASE_URL", "https://vesk-gemini-test:8443");

        // A live session (wss) takes the same way.
        for (const Config &c : {keyed(), keyed(true)}) {
            asked.clear();
            GeminiTranscriber t;
            t.warmUp(c);
            QTRY_VERIFY2(asked.startsWith("CONNECT vesk-gemini-test:8443 "), asked.constData());
        }
    }

    // A file that cannot be read is a failure, told on the main thread, and nothing is sent.
    void aMissingFileFailsAndSendsNothing()
    {
        GeminiTranscriber t;
        const Answer a = transcribe(t, keyed(), m_dir.filePath(u"gone.wav"_s));
        QVERIFY(a.onMainThread); // so it was called
        QVERIFY(!a.text);
        QVERIFY(!a.error.isEmpty());
        QVERIFY(m_server->requests().isEmpty());
    }

    // An answer that comes after a cancel, or after the transcriber is gone, reaches nobody; after
    // a cancel the next request works.
    void anAnswerAfterTheEndIsDropped_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("cancelled") << false;
        QTest::newRow("destroyed") << true;
    }

    void anAnswerAfterTheEndIsDropped()
    {
        QFETCH(bool, destroy);
        auto t = std::make_unique<GeminiTranscriber>();
        m_server->enqueue({200, {}, true});
        const auto dropped = std::make_shared<Answer>();
        t->transcribe(keyed(), m_speech, recordInto(dropped));
        QVERIFY(m_server->waitForRequests(1));
        if (destroy)
            t.reset();
        else
            t->cancel();
        QTest::qWait(200);
        QVERIFY(!dropped->called);
        if (destroy)
            return;
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(u"keyin"_s));
        QCOMPARE(transcribe(*t, keyed(), m_speech).text, std::optional<QString>(u"keyin"_s));
        QVERIFY(!dropped->called);
    }

    // The session opens at the start, before any audio; the setup says what the settings say;
    // the audio streams in 100 ms chunks while the user still speaks; the release ends the
    // activity and the settled pieces are the transcript. The key travels in the upgrade's header.
    void liveDictationStreamsAndDeliversTheFinalText_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("smart, detected language") << u"smart"_s << QStringList() << QStringList();
        QTest::newRow("verbatim, two languages, known words")
            << u"verbatim"_s << QStringList{"uz-UZ", "ru-RU"} << QStringList{"Vesk", "Toshkent"};
    }
    void liveDictationStreamsAndDeliversTheFinalText()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, languages);
        QFETCH(QStringList, words);
        Config c = keyed(true);
        c.transcriptionMode = mode;
        c.languageCodes = languages;
        c.customVocabulary = words;
        GeminiTranscriber t;
        QStringList interims;
        t.setInterimHandler([&](const QString &text) { interims.append(text); });
        t.warmUp(c);
        QTRY_COMPARE(m_live->sessions().size(), 1);
        // That it reaches the session while the key is held is tst_dictation's liveDictation; any
        // audio outside the activity is one of the session's problems.
        feedAll(t, m_pcm);
        const Answer a = transcribe(t, c, m_speech);
        QCOMPARE(a.text, std::optional<QString>(u"Salom, dunyo."_s));
        QVERIFY(a.onMainThread);
        QCOMPARE(interims.value(0), u"Salom,"_s);

        const FakeLiveServer::Session &s = m_live->sessions().first();
        QVERIFY2(s.problems.isEmpty(), qPrintable(s.problems.join(u'\n')));
        QVERIFY(s.activityEnd);
        QCOMPARE(s.path, QByteArray("/ws/google.ai.generativelanguage.v1beta.GenerativeService."
                                    "BidiGenerateContent"));
        QCOMPARE(s.headers.value("x-goog-api-key"), "k-1"_ba);
        // 100 ms chunks, the last what was left: all of it.
        QCOMPARE(std::accumulate(s.chunkBytes.begin(), s.chunkBytes.end(), qsizetype(0)),
                 m_pcm.size());
        QCOMPARE(s.chunkBytes.mid(0, s.chunkBytes.size() - 1),
                 QList<int>(s.chunkBytes.size() - 1, 3200));
        QCOMPARE(s.setup.value("model").toString(), u"models/"_s + c.model);
        const QJsonObject transcription = s.setup.value("inputAudioTranscription").toObject();
        QCOMPARE(transcription.value("mode").toString(), mode);
        QCOMPARE(transcription.value("languageCodes").toVariant().toStringList(), languages);
        QCOMPARE(transcription.value("customVocabulary").toVariant().toStringList(), words);
    }

    // Whatever keeps the live session from a final transcript, the whole file goes to the batch
    // model of the same name (never the live one, never the key in a log line; the session's
    // address without it is liveDictationStreamsAndDeliversTheFinalText's), and the user
    // gets the text on the main thread. So does a live model's recording without a session, as in
    // a retry.
    void aFailedLiveSessionFallsBackToTheFile_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<int>("afterChunks");
        QTest::addColumn<double>("limitSeconds");
        QTest::addColumn<QString>("piece");
        QTest::addColumn<QString>("logged");
        using B = FakeLiveServer::Behaviour;
        const QString word = u"Salom"_s;
        QTest::newRow("no session")
            << -1 << 0 << 600.0 << word << u"no live session for this recording: sent to "_s;
        QTest::newRow("refused") << int(B::refuse) << 0 << 600.0 << word
                                 << u"Gemini returned 403: API key not valid"_s;
        QTest::newRow("closed") << int(B::close) << 5 << 600.0 << word
                                << u"Gemini returned 503: Internal error"_s;
        QTest::newRow("cut") << int(B::cut) << 5 << 600.0 << word << u"live session failed"_s;
        QTest::newRow("stalled") << int(B::stall) << 0 << 600.0 << word
                                 << u"no answer within 1 seconds"_s;
        QTest::newRow("past the limit")
            << int(B::answer) << 0 << 1.0 << word << u"passed the live session's 1 s"_s;
        // A message past the bound of the answers (lowered to 2000 bytes here).
        QTest::newRow("oversized message") << int(B::answer) << 0 << 600.0 << QString(3000, u'a')
                                           << u"a live message was too large"_s;
    }
    void aFailedLiveSessionFallsBackToTheFile()
    {
        QFETCH(int, behaviour);
        QFETCH(int, afterChunks);
        QFETCH(double, limitSeconds);
        QFETCH(QString, piece);
        QFETCH(QString, logged);
        FakeLiveServer::Script script;
        script.behaviour = FakeLiveServer::Behaviour(behaviour);
        script.afterChunks = afterChunks;
        script.pieces = {piece};
        m_live->setScript(script);
        LiveSession::Limits limits;
        limits.maxAudioSeconds = limitSeconds;
        limits.maxMessageBytes = 2000;
        limits.answerTimeoutMs = 500;
        GeminiTranscriber t(limits);
        if (behaviour >= 0) {
            t.warmUp(keyed(true));
            QTRY_COMPARE(m_live->sessions().size(), 1);
            feedAll(t, m_pcm);
        }
        m_server->enqueue(200, FakeGeminiServer::interactionsAnswer(u"from the file"_s));
        const Answer a = transcribe(t, keyed(true), m_speech);
        QCOMPARE(a.text, std::optional<QString>(u"from the file"_s));
        QVERIFY(a.onMainThread);
        QCOMPARE(m_live->sessions().size(), behaviour >= 0 ? 1 : 0);
        QCOMPARE(m_server->requests().size(), 1);
        const auto &request = m_server->requests().first();
        QCOMPARE(request.target, "/v1beta/interactions"_ba);
        QCOMPARE(QJsonDocument::fromJson(request.body)["model"].toString(),
                 u"gemini-3.5-transcribe"_s);
        // The whole recording, not what the session heard.
        QVERIFY(request.body.contains(TestSupport::readFile(m_speech).toBase64()));
        QTRY_VERIFY(logText().contains(logged));
        QVERIFY(!logText().contains(u"k-1"_s));
    }

    // A cancel while the user speaks closes the session: nothing more reaches it, no request
    // follows.
    void cancelClosesTheLiveSession()
    {
        GeminiTranscriber t;
        t.warmUp(keyed(true));
        QTRY_COMPARE(m_live->sessions().size(), 1);
        feedAll(t, m_pcm, 0, 32000);
        QTRY_VERIFY(!m_live->sessions().first().chunkBytes.isEmpty());
        t.cancel();
        QTRY_VERIFY(m_live->sessions().first().closed);
        const qsizetype chunks = m_live->sessions().first().chunkBytes.size();
        feedAll(t, m_pcm, 32000, 64000);
        QTest::qWait(200);
        QCOMPARE(m_live->sessions().first().chunkBytes.size(), chunks);
        QVERIFY(!m_live->sessions().first().activityEnd);
        QVERIFY(m_server->requests().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TranscriberTest)
#include "tst_transcriber.moc"
