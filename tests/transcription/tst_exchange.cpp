#include "FakeGeminiServer.h"
#include "GeminiClient.h"
#include "GeminiExchange.h"
#include "GeminiTranscription.h"
#include "WaveFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

// The real network code against a scripted server on 127.0.0.1.
class ExchangeTest : public QObject
{
    Q_OBJECT

    FakeGeminiServer *m_server = nullptr;
    const QByteArray m_audio = QByteArray("RIFF\x00\x01\xff\xfe wav bytes", 18).repeated(7);

    GeminiClient client(const QString &model = QStringLiteral("gemini-3.7-flash")) const
    {
        GeminiClient c;
        c.apiKey = QStringLiteral("test-key-123");
        c.model = model;
        c.transcriptionMode = QStringLiteral("smart");
        c.languageCodes = {QStringLiteral("uz-UZ")};
        return c;
    }

    GeminiResult<QString> transcribe(const GeminiClient &c)
    {
        return runToEnd<QString>([&](QObject *context, GeminiClient::TextCallback done) {
            GeminiClient::send(c.transcriptionRequest(m_audio), c.apiKey, context, std::move(done));
        });
    }

    GeminiResult<QByteArray> exchange(GeminiExchange::Settings settings)
    {
        return runToEnd<QByteArray>([&](QObject *, auto done) {
            auto *e = new GeminiExchange(std::move(settings));
            connect(e, &GeminiExchange::finished, done);
        });
    }

    GeminiExchange::Settings postTo(const QByteArray &path) const
    {
        return {"POST",
                QUrl(m_server->baseUrl() + QString::fromLatin1(path)),
                QStringLiteral("k"),
                "{}",
                120,
                GeminiExchange::transcriptionWaitsMs()};
    }

    // The 16-bit samples of audio bytes, as libsndfile decodes them; none unless 16 kHz mono.
    std::vector<short> samplesOf(const QByteArray &bytes)
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("audio"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return {};
        f.close();
        SF_INFO info{};
        SNDFILE *in = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        if (!in)
            return {};
        if (info.samplerate != 16000 || info.channels != 1) {
            sf_close(in);
            return {};
        }
        std::vector<short> samples(size_t(info.frames * info.channels));
        sf_readf_short(in, samples.data(), info.frames);
        sf_close(in);
        return samples;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = new FakeGeminiServer(this);
        qputenv("VESK_GEMINI_BASE_URL", m_server->baseUrl().toUtf8());
    }

    void init()
    {
        m_server->clear();
        GeminiExchange::setWaitScale(0.01);
    }

    void generateContentOnTheWire()
    {
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(QStringLiteral(" salom\n")));
        const GeminiClient c = client();
        const auto text = transcribe(c);
        QVERIFY(text.ok());
        QCOMPARE(text.value(), QStringLiteral("salom"));

        QCOMPARE(m_server->requests().size(), 1);
        const auto &r = m_server->requests().first();
        QCOMPARE(r.method, QByteArray("POST"));
        QCOMPARE(r.target, QByteArray("/v1beta/models/gemini-3.7-flash:generateContent"));
        QCOMPARE(r.headers.value("x-goog-api-key"), QByteArray("test-key-123"));
        QCOMPARE(r.headers.value("content-type"), QByteArray("application/json"));
        // The key travels in its header only.
        QVERIFY(!r.target.contains("test-key-123"));
        QVERIFY(!r.body.contains("test-key-123"));
        QVERIFY(!r.headers.contains("authorization"));
        QVERIFY(!r.headers.contains("cookie"));
        QVERIFY(!r.body.contains('\n'));

        const QJsonObject body = QJsonDocument::fromJson(r.body).object();
        const QJsonObject content = body[QStringLiteral("contents")].toArray().at(0).toObject();
        QCOMPARE(content[QStringLiteral("role")].toString(), QStringLiteral("user"));
        const QJsonArray parts = content[QStringLiteral("parts")].toArray();
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].toObject()[QStringLiteral("text")].toString(), c.fullPrompt());
        const QJsonObject inlineData =
            parts[1].toObject()[QStringLiteral("inline_data")].toObject();
        QCOMPARE(inlineData[QStringLiteral("mime_type")].toString(), QStringLiteral("audio/wav"));
        QCOMPARE(inlineData[QStringLiteral("data")].toString().toLatin1(), m_audio.toBase64());
        const QJsonObject generation = body[QStringLiteral("generationConfig")].toObject();
        QCOMPARE(generation[QStringLiteral("temperature")].toInt(-1), 0);
        QVERIFY(!generation.contains(QStringLiteral("thinkingConfig")));
    }

    void audioOfEveryLengthIsEncodedWhole()
    {
        QTemporaryDir dir;
        for (int length = 0; length <= 7; ++length) {
            QByteArray audio;
            for (int i = 0; i < length; ++i)
                audio.append(char(0xfb - 37 * i));
            const QString path = dir.filePath(QString::number(length));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(audio);
            f.close();
            const auto read = GeminiClient::readAudio(path);
            QVERIFY(read.ok());
            QCOMPARE(read.value(), audio);
            for (const QString &model : {QStringLiteral("m"), QStringLiteral("m-transcribe")}) {
                const auto request = client(model).transcriptionRequest(read.value());
                QJsonParseError error;
                const QJsonDocument body = QJsonDocument::fromJson(request.value().body, &error);
                QCOMPARE(error.error, QJsonParseError::NoError);
                const QByteArray data =
                    model == QStringLiteral("m")
                        ? body[QStringLiteral("contents")][0][QStringLiteral("parts")][1]
                              [QStringLiteral("inline_data")][QStringLiteral("data")]
                                  .toString()
                                  .toLatin1()
                        : body[QStringLiteral("input")][0][QStringLiteral("data")]
                              .toString()
                              .toLatin1();
                QCOMPARE(data, audio.toBase64());
            }
        }
        const auto missing = GeminiClient::readAudio(dir.filePath(QStringLiteral("none.wav")));
        QCOMPARE(missing.error().kind(), GeminiError::Kind::fileRead);
    }

    void interactionsOnTheWire()
    {
        m_server->enqueue(200, FakeGeminiServer::interactionsAnswer(QStringLiteral("privet")));
        const auto text = transcribe(client(QStringLiteral("gemini-transcribe-1")));
        QVERIFY(text.ok());
        QCOMPARE(text.value(), QStringLiteral("privet"));

        const auto &r = m_server->requests().first();
        QCOMPARE(r.target, QByteArray("/v1beta/interactions"));
        QCOMPARE(r.headers.value("x-goog-api-key"), QByteArray("test-key-123"));
        const QJsonObject body = QJsonDocument::fromJson(r.body).object();
        QCOMPARE(body[QStringLiteral("model")].toString(), QStringLiteral("gemini-transcribe-1"));
        const QJsonObject input = body[QStringLiteral("input")].toArray().at(0).toObject();
        QCOMPARE(input[QStringLiteral("type")].toString(), QStringLiteral("audio"));
        QCOMPARE(input[QStringLiteral("mime_type")].toString(), QStringLiteral("audio/wav"));
        QCOMPARE(input[QStringLiteral("data")].toString().toLatin1(), m_audio.toBase64());
        const QJsonObject config = body[QStringLiteral("generation_config")]
                                       .toObject()[QStringLiteral("transcription_config")]
                                       .toObject();
        QCOMPARE(config[QStringLiteral("mode")].toString(), QStringLiteral("smart"));
        QCOMPARE(config[QStringLiteral("language_codes")].toArray(), QJsonArray{"uz-UZ"});
        QVERIFY(!config.contains(QStringLiteral("custom_vocabulary")));
        QVERIFY(!body.contains(QStringLiteral("contents")));
    }

    void overloadIsRetriedOnSchedule()
    {
        // The real waits: the service must get the pause it is owed.
        GeminiExchange::setWaitScale(1.0);
        for (int i = 0; i < 3; ++i)
            m_server->enqueue(503, FakeGeminiServer::errorAnswer(QStringLiteral("busy")));
        m_server->enqueue(200, "fourth");
        QList<int> waits;
        const auto result = runToEnd<QByteArray>([&](QObject *, auto done) {
            auto *e = new GeminiExchange(postTo("/v1beta/interactions"));
            connect(e, &GeminiExchange::retrying, this,
                    [&](int, int waitMs) { waits.append(waitMs); });
            connect(e, &GeminiExchange::finished, done);
        });
        QVERIFY(result.ok());
        QCOMPARE(result.value(), QByteArray("fourth"));
        QCOMPARE(waits, (QList<int>{400, 1200, 3000}));
        const auto &r = m_server->requests();
        QCOMPARE(r.size(), 4);
        // Lower bounds only: a slow machine may wait longer, never shorter.
        QVERIFY(r[1].receivedMs - r[0].receivedMs >= 400);
        QVERIFY(r[2].receivedMs - r[1].receivedMs >= 1200);
        QVERIFY(r[3].receivedMs - r[2].receivedMs >= 3000);
        // Every attempt sends the same request again.
        QCOMPARE(r[3].body, r[0].body);
        QCOMPARE(r[3].headers.value("x-goog-api-key"), QByteArray("k"));
    }

    void fourOverloadsGiveTheLastAnswer()
    {
        for (int i = 1; i <= 4; ++i)
            m_server->enqueue(429,
                              FakeGeminiServer::errorAnswer(QStringLiteral("quota %1").arg(i)));
        m_server->enqueue(200, "never asked for");
        const auto result = exchange(postTo("/v1beta/interactions"));
        QVERIFY(!result.ok());
        QCOMPARE(result.error().kind(), GeminiError::Kind::http);
        QCOMPARE(result.error().status(), 429);
        QCOMPARE(result.error().message(), QStringLiteral("quota 4"));
        QVERIFY(result.error().description().startsWith(QStringLiteral("Gemini returned 429: ")));
        QCOMPARE(m_server->requests().size(), 4);

        m_server->clear();
        for (int i = 0; i < 4; ++i)
            m_server->enqueue(500, "plain text, not JSON \xe2\x80\x94 whole");
        const auto plain = exchange(postTo("/v1beta/interactions"));
        QCOMPARE(plain.error().status(), 500);
        QCOMPARE(plain.error().message(), QStringLiteral("plain text, not JSON — whole"));
    }

    void otherStatusesAreNotRetried_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<QString>("shown");
        const QByteArray badKey = FakeGeminiServer::errorAnswer(QStringLiteral("bad key"));
        for (int status : {400, 401, 403, 404, 201})
            QTest::addRow("%d", status) << status << badKey << QByteArray() << "bad key";
        QTest::newRow("empty") << 400 << QByteArray() << QByteArray() << "Scripted";
        QTest::newRow("redirect") << 307 << QByteArray() << QByteArray("https://elsewhere.test/x")
                                  << "a redirect to https://elsewhere.test/x, not followed";
        QTest::newRow("redirect nowhere")
            << 302 << badKey << QByteArray() << "a redirect, not followed";
        QTest::newRow("controls") << 400
                                  << FakeGeminiServer::errorAnswer(
                                         QStringLiteral("a\x1b[2J\u202eb\nc\x07\u0085d"))
                                  << QByteArray() << "a\\x1b[2J\\u202eb c\\x07 d";
    }

    void otherStatusesAreNotRetried()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, location);
        QFETCH(QString, shown);
        m_server->enqueue({status, body, false, false, 0, location});
        m_server->enqueue(200, "never asked for");
        const auto result = exchange(postTo("/v1beta/interactions"));
        QVERIFY(!result.ok());
        QCOMPARE(result.error().status(), status);
        QCOMPARE(result.error().description(),
                 QStringLiteral("Gemini returned %1: ").arg(status) + shown);
        QCOMPARE(m_server->requests().size(), 1);
    }

    void transportFailuresAreRetriedThenReported()
    {
        // A port that was just free: every attempt is refused.
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        GeminiExchange::Settings s = postTo("/");
        s.address = QUrl(QStringLiteral("http://127.0.0.1:%1/v1beta/interactions").arg(port));
        int retries = 0;
        const auto result = runToEnd<QByteArray>([&](QObject *, auto done) {
            auto *e = new GeminiExchange(s);
            connect(e, &GeminiExchange::retrying, this, [&] { ++retries; });
            connect(e, &GeminiExchange::finished, done);
        });
        QCOMPARE(result.error().kind(), GeminiError::Kind::transport);
        QCOMPARE(retries, 3);
    }

    void hangingRequestTimesOut()
    {
        m_server->enqueue({200, {}, true});
        GeminiExchange::Settings s = postTo("/v1beta/interactions");
        s.timeoutSeconds = 1;
        s.waitsMs = {};
        const auto result = exchange(s);
        QCOMPARE(result.error().kind(), GeminiError::Kind::transport);
        QVERIFY(result.error().description().contains(QLatin1String("1")));
    }

    void oversizedAnswersAreCutOff_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("requests");
        const QByteArray huge(20 * 1024 * 1024, 'A');
        QTest::newRow("error message") << 400 << FakeGeminiServer::errorAnswer(huge) << 1;
        QTest::newRow("retried error") << 503 << huge << 4;
        QTest::newRow("success") << 200 << FakeGeminiServer::generateContentAnswer(huge) << 1;
    }

    void oversizedAnswersAreCutOff()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, requests);
        m_server->setFallback({status, body});
        const auto result = exchange(postTo("/v1beta/interactions"));
        m_server->setFallback({404, "{}"});
        QVERIFY(!result.ok());
        QCOMPARE(m_server->requests().size(), requests);
        const QString shown = result.error().description();
        QVERIFY2(shown.size() < 400, qPrintable(QString::number(shown.size())));
        if (status == 200) {
            QCOMPARE(result.error().kind(), GeminiError::Kind::badResponse);
            QVERIFY(shown.contains(QLatin1String("larger than")));
        } else {
            QCOMPARE(result.error().status(), status);
            QVERIFY(shown.contains(QLatin1String("AAAAAAAAAA")));
        }
    }

    void aDrippingAnswerMeetsTheDeadline()
    {
        // Every byte comes well within the idle time-out; the whole never comes within the
        // attempt's time.
        m_server->enqueue({200, FakeGeminiServer::generateContentAnswer(QStringLiteral("slow")),
                           false, false, 150});
        GeminiExchange::Settings s = postTo("/v1beta/interactions");
        s.timeoutSeconds = 1;
        s.waitsMs = {};
        const auto result = exchange(s);
        QVERIFY(!result.ok());
        QCOMPARE(result.error(), GeminiError::timedOut(1));
    }

    void droppedConnectionsAreSentOncePerAttempt_data()
    {
        QTest::addColumn<int>("drops");
        QTest::addColumn<int>("requests");
        QTest::newRow("all four") << 4 << 4;
        QTest::newRow("one, then an answer") << 1 << 2;
    }

    void droppedConnectionsAreSentOncePerAttempt()
    {
        QFETCH(int, drops);
        QFETCH(int, requests);
        for (int i = 0; i < drops; ++i)
            m_server->enqueue({200, {}, false, true});
        m_server->enqueue(200, "answered");
        m_server->setFallback({200, {}, false, true});
        int retries = 0;
        const auto result = runToEnd<QByteArray>([&](QObject *, auto done) {
            auto *e = new GeminiExchange(postTo("/v1beta/interactions"));
            connect(e, &GeminiExchange::retrying, this, [&] { ++retries; });
            connect(e, &GeminiExchange::finished, done);
        });
        m_server->setFallback({404, "{}"});
        QCOMPARE(result.ok(), drops < 4);
        QCOMPARE(retries, requests - 1);
        if (!result.ok())
            QCOMPARE(result.error().kind(), GeminiError::Kind::transport);
        // Nothing more may arrive after the outcome either.
        QTest::qWait(300);
        QCOMPARE(m_server->requests().size(), requests);
    }

    void cancelStopsTheWaitAndTheRequest()
    {
        GeminiExchange::setWaitScale(1.0);
        m_server->enqueue(503, "busy");
        m_server->enqueue(200, "never asked for");
        auto result = runToEnd<QByteArray>([&](QObject *, auto done) {
            auto *e = new GeminiExchange(postTo("/v1beta/interactions"));
            connect(e, &GeminiExchange::retrying, e, &GeminiExchange::cancel, Qt::QueuedConnection);
            connect(e, &GeminiExchange::finished, done);
        });
        QCOMPARE(result.error().kind(), GeminiError::Kind::cancelled);
        QTest::qWait(600);
        QCOMPARE(m_server->requests().size(), 1);

        m_server->clear();
        m_server->enqueue({200, {}, true});
        result = runToEnd<QByteArray>([&](QObject *, auto done) {
            auto *e = new GeminiExchange(postTo("/v1beta/interactions"));
            connect(m_server, &FakeGeminiServer::requestReceived, e, &GeminiExchange::cancel);
            connect(e, &GeminiExchange::finished, done);
        });
        QCOMPARE(result.error().kind(), GeminiError::Kind::cancelled);
    }

    void aDestroyedContextGetsNoAnswer()
    {
        m_server->enqueue({200, {}, true});
        bool called = false;
        auto *context = new QObject;
        GeminiClient c = client();
        GeminiClient::send(c.transcriptionRequest(m_audio), c.apiKey, context,
                           [&](const GeminiResult<QString> &) { called = true; });
        QVERIFY(m_server->waitForRequests(1));
        delete context;
        QTest::qWait(100);
        QVERIFY(!called);
    }

    void nothingIsSentForBadInput()
    {
        GeminiClient noKey = client();
        noKey.apiKey.clear();
        QCOMPARE(transcribe(noKey).error().description(),
                 QStringLiteral("No API key. Add it in Settings, or set GEMINI_API_KEY."));

        GeminiClient headerBreaker = client();
        headerBreaker.apiKey = QStringLiteral("key\r\nX-Evil: 1");
        QCOMPARE(transcribe(headerBreaker).error().kind(), GeminiError::Kind::invalidApiKey);

        for (const QString &model :
             {QStringLiteral(" "), QStringLiteral("a/b"), QStringLiteral("m?x=1"),
              QStringLiteral("m#f"), QStringLiteral("m\tx")})
            QCOMPARE(transcribe(client(model)).error().kind(), GeminiError::Kind::invalidModel);

        QTest::qWait(50);
        QCOMPARE(m_server->requests().size(), 0);
    }

    // Whatever the size, the audio gets through: as asked while it fits, as FLAC when only that
    // fits, through the file upload otherwise (and the uploaded file is removed afterwards). Ogg
    // is the smallest: past the ceiling it is uploaded as it is.
    void audioTakesTheWayItsSizeAllows_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("limit"); // none, or just below the body of wav, flac, ogg
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("sentAs");
        QTest::addColumn<bool>("uploaded");
        const QString flash = QStringLiteral("gemini-3.7-flash");
        const QString transcribe = QStringLiteral("gemini-3.7-flash-transcribe");
        QTest::newRow("wav") << "wav"
                             << "none" << flash << "audio/wav" << false;
        QTest::newRow("flac as asked") << "flac"
                                       << "none" << transcribe << "audio/flac" << false;
        QTest::newRow("ogg as asked") << "ogg"
                                      << "none" << flash << "audio/ogg" << false;
        QTest::newRow("wav too large") << "wav"
                                       << "wav" << flash << "audio/flac" << false;
        QTest::newRow("flac too large") << "wav"
                                        << "flac" << flash << "audio/flac" << true;
        QTest::newRow("upload, interactions") << "flac"
                                              << "flac" << transcribe << "audio/flac" << true;
        QTest::newRow("ogg too large") << "ogg"
                                       << "ogg" << transcribe << "audio/ogg" << true;
    }

    void audioTakesTheWayItsSizeAllows()
    {
        QFETCH(QString, format);
        QFETCH(QString, limit);
        QFETCH(QString, model);
        QFETCH(QString, sentAs);
        QFETCH(bool, uploaded);

        // Two seconds of a gliding tone with a little noise, like a voice to the compressor.
        std::vector<short> samples(32000);
        quint32 noise = 1;
        for (size_t i = 0; i < samples.size(); ++i) {
            noise = noise * 1664525u + 1013904223u;
            samples[i] = short(6000 * std::sin(double(i) * (0.05 + double(i) * 1e-6)) +
                               int(noise >> 24) - 128);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.wav"));
        QVERIFY(WaveFiles::writeMono16k(path, samples));
        const GeminiResult<QByteArray> read = GeminiClient::readAudio(path);
        QVERIFY(read.ok());
        const QByteArray wav = read.value();
        const GeminiResult<QByteArray> flac = GeminiClient::toFlac(wav);
        const GeminiResult<QByteArray> ogg = GeminiClient::toOgg(wav);
        QVERIFY(flac.ok() && ogg.ok());
        const QMap<QString, qsizetype> sizes{{QStringLiteral("audio/wav"), wav.size()},
                                             {QStringLiteral("audio/flac"), flac.value().size()},
                                             {QStringLiteral("audio/ogg"), ogg.value().size()}};
        QVERIFY2(
            sizes[QStringLiteral("audio/flac")] < wav.size() * 3 / 4 &&
                sizes[QStringLiteral("audio/ogg")] < wav.size() / 4,
            qPrintable(QStringLiteral("%1 %2").arg(flac.value().size()).arg(ogg.value().size())));

        GeminiClient c = client(model);
        c.audioFormat = format;
        if (limit != QLatin1String("none"))
            GeminiClient::setInlineRequestLimit(
                c.inlineRequestSize(sizes.value(QStringLiteral("audio/") + limit)) - 1);
        const auto restore = qScopeGuard([] { GeminiClient::setInlineRequestLimit(0); });
        const bool interactions = GeminiClient::usesInteractions(model);
        m_server->enqueue(200, interactions
                                   ? FakeGeminiServer::interactionsAnswer(QStringLiteral("ok"))
                                   : FakeGeminiServer::generateContentAnswer(QStringLiteral("ok")));

        QNetworkAccessManager network;
        const auto text = runToEnd<QString>([&](QObject *context, auto done) {
            auto *t = new GeminiTranscription(c, wav, &network, context);
            connect(t, &GeminiTranscription::finished, context, done);
        });
        QVERIFY2(text.ok(), text.ok() ? "" : qPrintable(text.error().description()));
        QCOMPARE(text.value(), QStringLiteral("ok"));

        QByteArray sent;
        const QJsonObject body =
            QJsonDocument::fromJson(m_server->requests().value(uploaded ? 2 : 0).body).object();
        const QJsonObject media =
            interactions
                ? body[QStringLiteral("input")][0].toObject()
                : body[QStringLiteral("contents")][0][QStringLiteral("parts")][1]
                      .toObject()
                      .value(uploaded ? QStringLiteral("file_data") : QStringLiteral("inline_data"))
                      .toObject();
        QCOMPARE(media[QStringLiteral("mime_type")].toString(), sentAs);
        if (!uploaded) {
            QCOMPARE(m_server->requests().size(), 1);
            sent = QByteArray::fromBase64(media[QStringLiteral("data")].toString().toLatin1());
        } else {
            QVERIFY(m_server->waitForRequests(4));
            const auto &r = m_server->requests();
            QCOMPARE(r[0].target, QByteArray("/upload/v1beta/files"));
            QCOMPARE(r[0].headers.value("x-goog-upload-header-content-type"), sentAs.toLatin1());
            QCOMPARE(r[0].headers.value("x-goog-api-key"), QByteArray("test-key-123"));
            QVERIFY(r[1].target.startsWith("/upload/v1beta/files?upload_id="));
            const QString uri =
                media[interactions ? QStringLiteral("uri") : QStringLiteral("file_uri")].toString();
            QCOMPARE(uri, m_server->baseUrl() + QStringLiteral("/v1beta/") +
                              m_server->deletedFiles().value(0));
            QCOMPARE(r[3].method, QByteArray("DELETE"));
            QCOMPARE(m_server->deletedFiles().size(), 1);
            QVERIFY(m_server->files().isEmpty());
            sent = r[1].body;
        }
        QCOMPARE(sent.size(), sizes.value(sentAs));
        const std::vector<short> decoded = samplesOf(sent);
        if (sentAs != GeminiClient::oggType) {
            QCOMPARE(decoded, samples);
            return;
        }
        // Lossy, but the same length and the tone well above the noise it carries.
        QCOMPARE(decoded.size(), samples.size());
        double signal = 0, error = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            signal += double(samples[i]) * samples[i];
            error += double(samples[i] - decoded[i]) * (samples[i] - decoded[i]);
        }
        QVERIFY2(10 * std::log10(signal / error) > 20, qPrintable(QString::number(signal / error)));
    }

    void cancelStopsAnUploadAtOnce()
    {
        m_server->setHangUploads(true);
        const auto answering = qScopeGuard([this] { m_server->setHangUploads(false); });
        GeminiClient::setInlineRequestLimit(1);
        const auto restore = qScopeGuard([] { GeminiClient::setInlineRequestLimit(0); });
        QNetworkAccessManager network;
        auto *t = new GeminiTranscription(client(), m_audio, &network);
        std::optional<GeminiResult<QString>> result;
        connect(t, &GeminiTranscription::finished, this,
                [&](const GeminiResult<QString> &r) { result = r; });
        QVERIFY(m_server->waitForRequests(2));
        QVERIFY(m_server->requests().last().target.contains("upload_id"));
        t->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 1000);
        QCOMPARE(result->error().kind(), GeminiError::Kind::cancelled);
        QCOMPARE(m_server->requests().size(), 2);
    }

    void modelListing()
    {
        m_server->enqueue(200, FakeGeminiServer::modelsAnswer({QStringLiteral("gemini-pro"),
                                                               QStringLiteral("gemini-3.7-flash"),
                                                               QStringLiteral("embedding-1")}));
        const auto names = client().listModelsAndWait();
        QVERIFY(names.ok());
        QCOMPARE(names.value(), (QStringList{"embedding-1", "gemini-3.7-flash", "gemini-pro"}));
        const auto &r = m_server->requests().first();
        QCOMPARE(r.method, QByteArray("GET"));
        QCOMPARE(r.target, QByteArray("/v1beta/models?pageSize=200"));
        QCOMPARE(r.headers.value("x-goog-api-key"), QByteArray("test-key-123"));
        QVERIFY(r.body.isEmpty());

        // One attempt only, even when the service is busy.
        m_server->clear();
        m_server->enqueue(503, FakeGeminiServer::errorAnswer(QStringLiteral("busy")));
        m_server->enqueue(200, FakeGeminiServer::modelsAnswer({}));
        const auto busy = client().listModelsAndWait();
        QCOMPARE(busy.error().status(), 503);
        QCOMPARE(m_server->requests().size(), 1);

        // Nor is it sent again when the connection drops.
        m_server->clear();
        m_server->setFallback({200, {}, false, true});
        const auto dropped = client().listModelsAndWait();
        m_server->setFallback({404, "{}"});
        QCOMPARE(dropped.error().kind(), GeminiError::Kind::transport);
        QTest::qWait(300);
        QCOMPARE(m_server->requests().size(), 1);
    }
};

QTEST_GUILESS_MAIN(ExchangeTest)
#include "tst_exchange.moc"
