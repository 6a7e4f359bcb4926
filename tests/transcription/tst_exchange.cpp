#include "audio/AudioEncoder.h"
#include "FakeGeminiServer.h"
#include "TestSupport.h"
#include "transcription/GeminiClient.h"
#include "transcription/GeminiExchange.h"
#include "transcription/GeminiRequests.h"
#include "transcription/GeminiTranscription.h"
#include "WaveFiles.h"

#include <QNetworkAccessManager>
#include <QtTest>
#include <cmath>

Q_DECLARE_METATYPE(FakeGeminiServer::Answer)
using Answer = FakeGeminiServer::Answer;

// The real network code against a scripted server on 127.0.0.1.
class ExchangeTest : public QObject
{
    Q_OBJECT

    FakeGeminiServer *m_server = nullptr;
    QNetworkAccessManager m_network; // outlives a transcription, which deletes its upload after
    std::vector<short> m_voice;
    QHash<QString, QByteArray> m_encoded; // m_voice by MIME type
    const QByteArray m_audio = QByteArray("RIFF\x00\x01\xff\xfe wav bytes", 18).repeated(7);

    GeminiClient client(const QString &model = u"gemini-3.7-flash"_s) const
    {
        GeminiClient c;
        c.apiKey = u"test-key-123"_s;
        c.model = model;
        c.transcriptionMode = u"smart"_s;
        c.languageCodes = {u"uz-UZ"_s};
        return c;
    }

    // A recording's transcription as the app asks for it.
    GeminiResult<QString> transcribe(const GeminiClient &c, const QByteArray &wav,
                                     GeminiTranscriptionLimits limits = {})
    {
        return runToEnd<QString>([&](QObject *context, auto done) {
            auto *t = new GeminiTranscription(c, wav, &m_network, context, limits);
            connect(t, &GeminiTranscription::finished, context, done);
        });
    }

    // The schedule's length at a hundredth of its waits, unless a test of the waits themselves
    // asks for the real ones.
    GeminiExchange::Settings settings(bool realWaits = false) const
    {
        QList<int> waits = GeminiExchange::transcriptionWaitsMs();
        for (int &ms : waits)
            ms /= realWaits ? 1 : 100;
        return {"POST", QUrl(m_server->baseUrl() + u"/v1beta/interactions"_s), u"k"_s, "{}", 120,
                waits};
    }

    // The audio of a request body to either endpoint, inline or as an uploaded file.
    static QJsonObject audioPart(const QByteArray &body, bool uploaded = false)
    {
        const QJsonObject o = QJsonDocument::fromJson(body).object();
        if (o.contains(u"input"_s))
            return o[u"input"_s][0].toObject();
        return o[u"contents"_s][0][u"parts"_s][1][uploaded ? u"file_data"_s : u"inline_data"_s]
            .toObject();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = new FakeGeminiServer(this);
        qputenv("VESK_GEMINI_BASE_URL", m_server->baseUrl().toUtf8());

        // Two seconds of a gliding tone with a little noise, like a voice to the compressor.
        m_voice.resize(32000);
        quint32 noise = 1;
        for (size_t i = 0; i < m_voice.size(); ++i) {
            noise = noise * 1664525u + 1013904223u;
            m_voice[i] = short(6000 * std::sin(double(i) * (0.05 + double(i) * 1e-6)) +
                               int(noise >> 24) - 128);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(u"r.wav"_s);
        QVERIFY(WaveFiles::writeMono16k(path, m_voice));
        const QByteArray wav = GeminiRequests::readAudio(path).value();
        m_encoded = {{AudioEncoder::wavType, wav},
                     {AudioEncoder::flacType, AudioEncoder::toFlac(wav).bytes},
                     {AudioEncoder::oggType, AudioEncoder::toOgg(wav).bytes}};
        const qsizetype flac = m_encoded[AudioEncoder::flacType].size();
        const qsizetype ogg = m_encoded[AudioEncoder::oggType].size();
        QVERIFY2(flac < wav.size() * 3 / 4 && ogg < wav.size() / 4,
                 qPrintable(u"%1 %2"_s.arg(flac).arg(ogg)));
    }

    void init()
    {
        // Qt's own warnings are for its callers to avoid; the one Qt gives about its own
        // bookkeeping (the executable filters it out) is the exception.
        QTest::failOnWarning(
            QRegularExpression(u"^(?!QNetworkReplyImplPrivate::error: Internal problem)"_s));
        m_server->clear();
        m_server->setFallback({404, "{}"});
    }

    // Audio of every length goes out whole, to either endpoint; none at all is the empty text,
    // not an absent one (a body that is no JSON).
    void audioOfEveryLengthIsEncodedWhole()
    {
        QTemporaryDir dir;
        for (int length = 0; length <= 7; ++length) {
            const QByteArray audio = QByteArray("\xfb\xd6\xb1\x8c\x67\x42\x1d", length);
            const QString path = dir.filePath(QString::number(length));
            TestSupport::writeFile(path, audio);
            QCOMPARE(GeminiRequests::readAudio(path).value(), audio);
            for (const QString &model : {u"m"_s, u"m-transcribe"_s})
                QCOMPARE(
                    audioPart(
                        GeminiRequests::transcriptionRequest(client(model), audio).value().body)
                        .value(u"data"_s),
                    QJsonValue(QString::fromLatin1(audio.toBase64())));
        }
    }

    // However an attempt fails, the exchange makes the attempts it is owed on the schedule, reports
    // the last failure and sends nothing more after it. Retried statuses and broken connections
    // (refused, dropped before the answer, an answer that ends early however Qt sees it) are
    // asked four times, other statuses once; a success too large to read is refused as it comes,
    // and a slow answer ends at the attempt's time even while its bytes keep coming. Qt alone
    // would take a cut answer for a whole one now and then, so those rows are run a few times.
    void failuresAreRetriedAndReported_data()
    {
        QTest::addColumn<QList<Answer>>("answers"); // before a plain one; status 0: nobody listens
        QTest::addColumn<int>("attempts");
        // The error's description; ending in ": ", its beginning (the rest is Qt's words).
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("value"); // the result instead of an error
        QTest::addColumn<int>("rounds");
        const auto row = [](const QByteArray &name, const QList<Answer> &answers, int attempts,
                            const QString &shown, const QByteArray &value = {}, int rounds = 1) {
            QTest::newRow(name.constData()) << answers << attempts << shown << value << rounds;
        };
        const QByteArray badKey = FakeGeminiServer::errorAnswer(u"bad key"_s);
        for (int status : {400, 401, 403, 404, 201})
            row(QByteArray::number(status), {{status, badKey}}, 1,
                u"Gemini returned %1: bad key"_s.arg(status));
        row("empty", {{400}}, 1, u"Gemini returned 400: Scripted"_s);
        row("redirect", {{.status = 307, .headers = {{"Location", "https://elsewhere.test/x"}}}}, 1,
            u"Gemini returned 307: a redirect to https://elsewhere.test/x, not followed"_s);
        row("redirect nowhere", {{302, badKey}}, 1,
            u"Gemini returned 302: a redirect, not followed"_s);
        row("inner blanks",
            {{400, FakeGeminiServer::errorAnswer(u"Quota  exceeded.\r\nRetry  later.\n"_s)}}, 1,
            u"Gemini returned 400: Quota  exceeded. Retry  later."_s);
        row("controls", {{400, FakeGeminiServer::errorAnswer(u"a\x1b[2J\u202eb\nc\x07\u0085d"_s)}},
            1, u"Gemini returned 400: a\\x1b[2J\\u202eb c\\x07 d"_s);
        QList<Answer> quota;
        for (int i = 1; i <= 4; ++i)
            quota.append({429, FakeGeminiServer::errorAnswer(u"quota %1"_s.arg(i))});
        row("429 four times", quota, 4, u"Gemini returned 429: quota 4"_s);
        row("503 three times", QList<Answer>(3, {503, FakeGeminiServer::errorAnswer(u"busy"_s)}), 4,
            {}, "answered");
        row("500 four times, not JSON",
            QList<Answer>(4, {500, "plain text, not JSON \xe2\x80\x94 whole"}), 4,
            u"Gemini returned 500: plain text, not JSON — whole"_s);
        // What is read and shown of a huge answer stays small.
        const QByteArray huge(20 * 1024 * 1024, 'A');
        const QString cutOff = QString(300, u'A') + u'…';
        row("huge message", {{400, FakeGeminiServer::errorAnswer(huge)}}, 1,
            u"Gemini returned 400: "_s + cutOff);
        row("huge, four times", QList<Answer>(4, {503, huge}), 4,
            u"Gemini returned 503: "_s + cutOff);
        row("huge success",
            {{200, FakeGeminiServer::generateContentAnswer(QString(huge.size(), u'A'))}}, 1,
            u"Could not read the Gemini response: the answer is larger than 4 MB"_s);

        // A body that takes a while to send gives the attempt more time: the idle time-out ends
        // it, as it does a recording's request. Every byte of the dripping answer comes well
        // within the idle time-out; the whole never comes within the attempt's time.
        const QString reach = u"Could not reach Gemini: "_s;
        const QByteArray json = FakeGeminiServer::generateContentAnswer(u"Salom"_s);
        row("no answer", {{200, {}, true}}, 1, reach + u"no answer within 1 seconds"_s);
        row("an answer dripping in", {{200, json, false, false, 150}}, 1,
            reach + u"no answer within 1 seconds"_s);

        const QString cut = reach + u"the connection was closed before the whole answer came"_s;
        const Answer dropped{.drop = true};
        row("refused", {Answer{0}}, 4, reach, {}, 4);
        row("dropped four times", QList<Answer>(4, dropped), 4, reach, {}, 4);
        row("dropped once", {dropped}, 2, {}, "answered", 4);
        row("Content-Length, 20 bytes", QList<Answer>(4, {.body = json, .cutAfter = 20}), 4, cut,
            {}, 4);
        row("chunked, 20 bytes", QList<Answer>(4, {.body = json, .chunked = true, .cutAfter = 20}),
            4, cut, {}, 4);
        row("chunked, whole", {{.body = json, .chunked = true}}, 1, {}, json, 4);
        // Whole but not JSON: for the reader to refuse, not to retry.
        row("chunked, whole, not JSON", {{.body = "<p>busy</p>", .chunked = true}}, 1, {},
            "<p>busy</p>", 4);
    }

    void failuresAreRetriedAndReported()
    {
        QFETCH(QList<Answer>, answers);
        QFETCH(int, attempts);
        QFETCH(QString, shown);
        QFETCH(QByteArray, value);
        QFETCH(int, rounds);
        const Answer &first = answers.first();
        GeminiExchange::Settings s = settings();
        if (first.status == 0) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            s.address = QUrl(u"http://127.0.0.1:%1/v1beta/interactions"_s.arg(probe.serverPort()));
        }
        if (first.hang || first.dripMs > 0) {
            s.timeoutSeconds = 1;
            s.waitsMs = {};
            if (first.hang)
                s.body = QByteArray(128 * 1024, ' ') + "{}";
        }
        // The real waits, of which the rows wait a hundredth: the service gets the pause it is
        // owed.
        QCOMPARE(GeminiExchange::transcriptionWaitsMs(), (QList<int>{400, 1200, 3000}));
        const int requests = first.status == 0 ? 0 : attempts;
        for (int round = 0; round < rounds; ++round) {
            m_server->clear();
            for (const Answer &answer : answers)
                m_server->enqueue(answer);
            m_server->enqueue(200, "answered");
            QList<int> waits; // announced before each retry
            const auto result = runToEnd<QByteArray>([&](QObject *, auto done) {
                auto *e = new GeminiExchange(s);
                connect(e, &GeminiExchange::retrying, e, [&](int, int ms) { waits.append(ms); });
                connect(e, &GeminiExchange::finished, done);
            });
            QCOMPARE(waits, s.waitsMs.mid(0, attempts - 1));
            // Every attempt sends the same request again, no sooner than its wait (lower bounds
            // only: a slow machine may wait longer, never shorter).
            const auto &r = m_server->requests();
            QCOMPARE(r.size(), requests);
            for (qsizetype i = 1; i < r.size(); ++i) {
                QVERIFY(r[i].receivedMs - r[i - 1].receivedMs >= s.waitsMs[i - 1]);
                QCOMPARE(r[i].body, r[0].body);
                QCOMPARE(r[i].headers.value("x-goog-api-key"), "k"_ba);
            }
            if (!value.isEmpty()) {
                QVERIFY2(result.ok(), result.ok() ? "" : qPrintable(result.error().description()));
                QCOMPARE(result.value(), value);
                continue;
            }
            QVERIFY2(!result.ok(), result.ok() ? result.value().constData() : "");
            const QString description = result.error().description();
            QCOMPARE(shown.endsWith(u": "_s) ? description.left(shown.size()) : description, shown);
        }
        QTest::qWait(300);
        QCOMPARE(m_server->requests().size(), requests);
    }

    // A cancel stops the wait before a retry, the request, and an upload at once: nothing more is
    // sent.
    void cancelStopsTheExchange()
    {
        m_server->enqueue(503, "busy");
        m_server->enqueue(200, "never asked for");
        auto result = runToEnd<QByteArray>([&](QObject *, auto done) {
            auto *e = new GeminiExchange(settings(true));
            connect(e, &GeminiExchange::retrying, e, &GeminiExchange::cancel, Qt::QueuedConnection);
            connect(e, &GeminiExchange::finished, done);
        });
        QCOMPARE(result.error().kind(), GeminiError::Kind::cancelled);
        QTest::qWait(600);
        QCOMPARE(m_server->requests().size(), 1);

        m_server->clear();
        m_server->enqueue({200, {}, true});
        result = runToEnd<QByteArray>([&](QObject *, auto done) {
            auto *e = new GeminiExchange(settings());
            connect(m_server, &FakeGeminiServer::requestReceived, e, &GeminiExchange::cancel);
            connect(e, &GeminiExchange::finished, done);
        });
        QCOMPARE(result.error().kind(), GeminiError::Kind::cancelled);

        m_server->clear();
        m_server->setHangUploads(true);
        const auto answering = qScopeGuard([this] { m_server->setHangUploads(false); });
        auto *t = new GeminiTranscription(client(), m_audio, &m_network, nullptr, {1});
        std::optional<GeminiResult<QString>> uploading;
        connect(t, &GeminiTranscription::finished, this,
                [&](const GeminiResult<QString> &r) { uploading = r; });
        QVERIFY(m_server->waitForRequests(2));
        QVERIFY(m_server->requests().last().target.contains("upload_id"));
        t->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(uploading.has_value(), 1000);
        QCOMPARE(uploading->error().kind(), GeminiError::Kind::cancelled);
        QCOMPARE(m_server->requests().size(), 2);

        // A context destroyed first gets no answer.
        m_server->clear();
        m_server->enqueue({200, {}, true});
        bool called = false;
        auto *context = new QObject;
        client().listModels(context, [&](const auto &) { called = true; });
        QVERIFY(m_server->waitForRequests(1));
        delete context;
        QTest::qWait(100);
        QVERIFY(!called);
    }

    void nothingIsSentForBadInput()
    {
        // The no-key error's words are tst_cli_transcription's.
        GeminiClient c = client();
        c.apiKey.clear();
        QCOMPARE(transcribe(c, m_audio).error().kind(), GeminiError::Kind::noApiKey);
        c.apiKey = u"key\r\nX-Evil: 1"_s;
        QCOMPARE(transcribe(c, m_audio).error().kind(), GeminiError::Kind::invalidApiKey);

        for (const QString &model :
             {QString(), u" "_s, u"a/b"_s, u"m?x=1"_s, u"m#f"_s, u"m\tx"_s, u"m\nx"_s})
            QCOMPARE(transcribe(client(model), m_audio).error().kind(),
                     GeminiError::Kind::invalidModel);

        QTest::qWait(50);
        QCOMPARE(m_server->requests().size(), 0);
    }

    // Whatever the size, the audio gets through: as asked while it fits, as FLAC when only that
    // fits, through the file upload otherwise (and the uploaded file is removed afterwards). Ogg
    // is the smallest: past the ceiling it is uploaded as it is.
    void audioTakesTheWayItsSizeAllows_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("limit"); // none, or just below the body of this type
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("sentAs");
        QTest::addColumn<bool>("uploaded");
        const QString flash = u"gemini-3.7-flash"_s;
        const QString transcribe = u"gemini-3.7-flash-transcribe"_s;
        const QString wav = AudioEncoder::wavType, flac = AudioEncoder::flacType,
                      ogg = AudioEncoder::oggType;
        QTest::newRow("wav") << "wav" << QString() << flash << wav << false;
        QTest::newRow("flac as asked") << "flac" << QString() << transcribe << flac << false;
        QTest::newRow("ogg as asked") << "ogg" << QString() << flash << ogg << false;
        QTest::newRow("wav too large") << "wav" << wav << flash << flac << false;
        QTest::newRow("flac too large") << "wav" << flac << flash << flac << true;
        QTest::newRow("upload, interactions") << "flac" << flac << transcribe << flac << true;
        QTest::newRow("ogg too large") << "ogg" << ogg << transcribe << ogg << true;
    }

    void audioTakesTheWayItsSizeAllows()
    {
        QFETCH(QString, format);
        QFETCH(QString, limit);
        QFETCH(QString, model);
        QFETCH(QString, sentAs);
        QFETCH(bool, uploaded);

        GeminiClient c = client(model);
        c.audioFormat = format;
        GeminiTranscriptionLimits limits;
        if (!limit.isEmpty())
            limits.inlineRequestBytes =
                GeminiRequests::inlineRequestSize(c, m_encoded[limit].size()) - 1;
        const bool interactions = GeminiClient::usesInteractions(model);
        m_server->enqueue(200, interactions ? FakeGeminiServer::interactionsAnswer(u"ok"_s)
                                            : FakeGeminiServer::generateContentAnswer(u"ok"_s));
        const auto text = transcribe(c, m_encoded[AudioEncoder::wavType], limits);
        QVERIFY2(text.ok(), text.ok() ? "" : qPrintable(text.error().description()));
        QCOMPARE(text.value(), u"ok"_s);

        // The request that asks for the text (after the upload's two, when uploaded) carries the
        // prompt and the settings around the audio. The key goes in a header only, on every
        // request but the upload's bytes, which its address admits.
        QVERIFY(m_server->waitForRequests(uploaded ? 4 : 1));
        const auto &r = m_server->requests();
        QCOMPARE(r.size(), uploaded ? 4 : 1);
        for (const auto &request : r) {
            if (!request.target.contains("upload_id="))
                QCOMPARE(request.headers.value("x-goog-api-key"), "test-key-123"_ba);
            QVERIFY(!(request.target + request.body).contains("test-key-123"));
            QVERIFY(!request.headers.contains("authorization"));
            QVERIFY(!request.headers.contains("cookie"));
        }
        const auto &asked = r[uploaded ? 2 : 0];
        QCOMPARE(asked.method, "POST"_ba);
        QCOMPARE(asked.target, interactions
                                   ? "/v1beta/interactions"_ba
                                   : "/v1beta/models/" + model.toLatin1() + ":generateContent");
        QCOMPARE(asked.headers.value("content-type"), "application/json"_ba);
        QVERIFY(!asked.body.contains('\n'));
        const QJsonObject media = audioPart(asked.body, uploaded);
        const QString where = !uploaded ? u"data"_s : interactions ? u"uri"_s : u"file_uri"_s;
        QJsonObject expectedMedia{{u"mime_type"_s, sentAs}, {where, media[where]}};
        if (interactions)
            expectedMedia[u"type"_s] = u"audio"_s;
        QCOMPARE(media, expectedMedia);
        const QJsonObject expected =
            interactions
                ? QJsonObject{{"model", model},
                              {"input", QJsonArray{media}},
                              {"generation_config",
                               QJsonObject{{"transcription_config",
                                            QJsonObject{{"mode", "smart"},
                                                        {"language_codes", QJsonArray{"uz-UZ"}}}}}}}
                : QJsonObject{
                      {"contents",
                       QJsonArray{QJsonObject{
                           {"role", "user"},
                           {"parts", QJsonArray{QJsonObject{{"text", c.fullPrompt()}},
                                                QJsonObject{{uploaded ? "file_data" : "inline_data",
                                                             media}}}}}}},
                      {"generationConfig", QJsonObject{{"temperature", 0}}}};
        QCOMPARE(QJsonDocument::fromJson(asked.body).object(), expected);
        QByteArray sent = QByteArray::fromBase64(media[u"data"_s].toString().toLatin1());
        if (uploaded) {
            // The fake takes the upload at its endpoints only (anything else is not answered).
            QCOMPARE(r[0].headers.value("x-goog-upload-header-content-type"), sentAs.toLatin1());
            QCOMPARE(media[where].toString(),
                     m_server->baseUrl() + u"/v1beta/"_s + m_server->deletedFiles().value(0));
            sent = r[1].body;
        }
        // Ogg streams carry a random serial number: the same size, not the same bytes.
        QCOMPARE(sent.size(), m_encoded[sentAs].size());
        QTemporaryDir dir;
        SF_INFO info;
        const std::vector<short> decoded = WaveFiles::decode(sent, dir.path(), info);
        QCOMPARE(info.samplerate, 16000);
        QCOMPARE(info.channels, 1);
        if (sentAs != AudioEncoder::oggType) {
            QCOMPARE(decoded, m_voice);
            return;
        }
        // Lossy, but the same length and the tone well above the noise it carries.
        QCOMPARE(decoded.size(), m_voice.size());
        double signal = 0, error = 0;
        for (size_t i = 0; i < m_voice.size(); ++i) {
            signal += double(m_voice[i]) * m_voice[i];
            error += double(m_voice[i] - decoded[i]) * (m_voice[i] - decoded[i]);
        }
        QVERIFY2(10 * std::log10(signal / error) > 20, qPrintable(QString::number(signal / error)));
    }

    void modelListing()
    {
        m_server->enqueue(200, FakeGeminiServer::modelsAnswer(
                                   {u"gemini-pro"_s, u"gemini-3.7-flash"_s, u"embedding-1"_s}));
        const auto names = client().listModelsAndWait();
        QVERIFY(names.ok());
        QCOMPARE(names.value(), (QStringList{"embedding-1", "gemini-3.7-flash", "gemini-pro"}));
        const auto &r = m_server->requests().first();
        QCOMPARE(r.method, "GET"_ba);
        QCOMPARE(r.target, "/v1beta/models?pageSize=200"_ba);
        QCOMPARE(r.headers.value("x-goog-api-key"), "test-key-123"_ba);
        // No body, and nothing that speaks of one.
        QVERIFY(r.body.isEmpty());
        for (const char *header : {"content-length", "transfer-encoding", "content-type"})
            QVERIFY2(!r.headers.contains(header), header);

        // One attempt only, whether the service is busy or the connection drops. (Qt itself
        // sends a request without a body once more when its connection closes before any
        // answer, as HTTP allows for a GET.)
        for (const Answer &failure :
             {Answer{503, FakeGeminiServer::errorAnswer(u"busy"_s)}, Answer{.drop = true}}) {
            m_server->clear();
            m_server->setFallback(failure);
            const auto failed = client().listModelsAndWait();
            QCOMPARE(failed.error().kind(),
                     failure.drop ? GeminiError::Kind::transport : GeminiError::Kind::http);
            QTest::qWait(300);
            const qsizetype sent = m_server->requests().size();
            QVERIFY2(failure.drop ? sent >= 1 && sent <= 4 : sent == 1,
                     qPrintable(QString::number(sent)));
        }
    }
};

QTEST_GUILESS_MAIN(ExchangeTest)
#include "tst_exchange.moc"
