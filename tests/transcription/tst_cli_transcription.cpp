#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "transcription/GeminiClient.h"
#include "TestSupport.h"
#include "WaveFiles.h"

#include <QtTest>
#include <csignal>
#include <utility>
#include <vector>

Q_DECLARE_METATYPE(FakeGeminiServer::Answer)

class CliTranscriptionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeGeminiServer m_server;
    const QByteArray m_speech = "RIFF....WAVEfmt "_ba.repeated(40);

    using Run = TestSupport::Run;

    // The command with this configuration, run by `wrapper` if there is one. By default nothing
    // listens at the service's address: no request may leave the machine.
    Run run(const QStringList &args, const Config &config,
            const QString &base = u"http://127.0.0.1:9"_s, QStringList wrapper = {})
    {
        config.saveTo(m_dir.filePath(u"config.json"_s));
        wrapper.append(TestSupport::executable());
        const QString program = wrapper.takeFirst();
        return TestSupport::run(program, wrapper + args,
                                TestSupport::appEnvironment(m_dir.path(), base), 60000);
    }

    // A key, and the recording sent as it is.
    static Config keyed()
    {
        Config c;
        c.apiKey = u"cli-key"_s;
        c.trimSilence = false;
        return c;
    }

    QString speechFile()
    {
        const QString file = m_dir.filePath(u"speech.wav"_s);
        TestSupport::writeFile(file, m_speech);
        return file;
    }

    QString log() const { return TestSupport::appLog(m_dir.path()); }

    // Nothing but line feeds and tabs below 0x20, no C1 controls, no bidirectional overrides.
    static bool inert(const QString &text)
    {
        for (const QChar c : text) {
            if ((c.category() == QChar::Other_Control && c != u'\n' && c != u'\t') ||
                (c.unicode() >= 0x202a && c.unicode() <= 0x202e))
                return false;
        }
        return true;
    }

private Q_SLOTS:
    void init() { m_server.clear(); }

    void promptIsPrintedExactly()
    {
        Config c;
        c.languageCodes = {u"uz-UZ"_s, u"ru-RU"_s};
        c.customVocabulary = {u"Oʻzbekiston"_s};
        const Run r = run({u"prompt"_s}, c);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, GeminiClient::from(c).fullPrompt());
    }

    void failuresExitOneWithTheDescription()
    {
        Run r = run({u"transcribe"_s, speechFile()}, Config());
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.trimmed(), u"No API key. Add it in Settings, or set GEMINI_API_KEY."_s);
        QVERIFY(r.out.isEmpty());

        r = run({u"models"_s}, Config());
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.startsWith(u"No API key."_s));

        Config keyed;
        keyed.apiKey = u"secret-key"_s;
        r = run({u"transcribe"_s, m_dir.path() + u"/missing.wav"_s}, keyed);
        QCOMPARE(r.code, 1);
        QVERIFY(!r.err.isEmpty());
        QVERIFY(!r.err.contains(u"secret-key"_s));
    }

    void transcribeSendsTheFileToTheConfiguredEndpoint()
    {
        const QString file = speechFile();
        Config c = keyed();
        m_server.enqueue(503, "busy");
        m_server.enqueue(200, FakeGeminiServer::generateContentAnswer(u"Salom, dunyo"_s));
        Run r = run({u"transcribe"_s, file}, c, m_server.baseUrl());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"Salom, dunyo\n"_s);
        QCOMPARE(m_server.requests().size(), 2);
        QCOMPARE(m_server.requests().last().target,
                 "/v1beta/models/gemini-3.7-flash:generateContent"_ba);
        QVERIFY(m_server.requests().last().body.contains(m_speech.toBase64()));

        // A transcribe model takes the interactions request; a live one, there with its batch name.
        for (const QString &model : {u"gemini-3.5-transcribe"_s, u"gemini-3.5-transcribe-live"_s}) {
            c.model = model;
            m_server.clear();
            m_server.enqueue(200, FakeGeminiServer::interactionsAnswer(u"Привет"_s));
            r = run({u"transcribe"_s, file}, c, m_server.baseUrl());
            QCOMPARE(r.code, 0);
            QCOMPARE(r.out, u"Привет\n"_s);
            QCOMPARE(m_server.requests().first().target, "/v1beta/interactions"_ba);
            QCOMPARE(QJsonDocument::fromJson(m_server.requests().first().body)["model"].toString(),
                     u"gemini-3.5-transcribe"_s);
        }

        // The chosen audio format applies here as in a dictation.
        c.model = Config().model;
        c.audioFormat = u"ogg"_s;
        m_server.enqueue(200, FakeGeminiServer::generateContentAnswer(u"ok"_s));
        const QString tone = m_dir.path() + u"/tone.wav"_s;
        std::vector<short> samples(16000);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = short((i % 40 < 20) ? 8000 : -8000);
        QVERIFY(WaveFiles::writeMono16k(tone, samples));
        r = run({u"transcribe"_s, tone}, c, m_server.baseUrl());
        QCOMPARE(r.code, 0);
        QVERIFY(m_server.requests().last().body.contains("\"audio/ogg\""));
        c.audioFormat = Config().audioFormat;

        // The service's message as it wrote it, inner blanks and all.
        m_server.enqueue(401, FakeGeminiServer::errorAnswer(
                                  u"API key not valid.  Please pass a valid API key."_s));
        r = run({u"transcribe"_s, file}, c, m_server.baseUrl());
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err,
                 u"Gemini returned 401: API key not valid.  Please pass a valid API key.\n"_s);
        QVERIFY(r.out.isEmpty());
    }

    // The recording goes out with its long pause cut, as a dictation sends it, and the trimmed
    // copy is removed afterwards unless recordings are kept.
    void transcribeTrimsFirst()
    {
        const QString file = m_dir.path() + u"/pause.wav"_s;
        std::vector<short> samples(16000 * 4, 0); // 1 s tone, 2 s silence, 1 s tone
        for (int i = 0; i < 16000; ++i)
            samples[size_t(i)] = samples[size_t(48000 + i)] = short((i % 40 < 20) ? 8000 : -8000);
        QVERIFY(WaveFiles::writeMono16k(file, samples));
        const QString trimmed = m_dir.path() + u"/pause.trimmed.wav"_s;

        Config c = keyed();
        c.trimSilence = true;
        c.keepSilenceSeconds = 0.25;
        for (const bool keep : {false, true}) {
            c.keepAudio = keep;
            m_server.clear();
            m_server.enqueue(200, FakeGeminiServer::generateContentAnswer(u"ok"_s));
            const Run r = run({u"transcribe"_s, file}, c, m_server.baseUrl());
            QCOMPARE(r.code, 0);
            QCOMPARE(m_server.requests().size(), 1);
            const QJsonObject body =
                QJsonDocument::fromJson(m_server.requests().first().body).object();
            const QByteArray sent = QByteArray::fromBase64(
                body[u"contents"_s][0][u"parts"_s][1][u"inline_data"_s][u"data"_s]
                    .toString()
                    .toLatin1());
            // 2 s of tone and 0.25 s of the pause: 36000 frames of 16-bit mono after the header.
            QCOMPARE(sent.size(), 44 + 36000 * 2);
            QCOMPARE(QFile::exists(trimmed), keep);
            QVERIFY(QFile::exists(file));
        }
    }

    void modelsMarksThePick()
    {
        Config c = keyed();
        c.model = u"gone-model"_s;
        m_server.enqueue(200,
                         FakeGeminiServer::modelsAnswer({u"gemini-pro"_s, u"gemini-2.5-flash"_s}));
        const Run r = run({u"models"_s}, c, m_server.baseUrl());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"gemini-2.5-flash\tpicked\ngemini-pro\n"_s);
    }

    void serviceTextCannotDriveTheTerminal()
    {
        const Config c = keyed();
        m_server.enqueue(200, FakeGeminiServer::generateContentAnswer(
                                  u"Salom\x1b]0;title\x07 \x1b[2Jdunyo\u202e!\u0085\r\n"_s));
        Run r = run({u"transcribe"_s, speechFile()}, c, m_server.baseUrl());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"Salom]0;title [2Jdunyo!\n"_s);
        QVERIFY(log().contains(u"transcript: Salom]0;title [2Jdunyo!\n"_s));

        m_server.enqueue(400, FakeGeminiServer::errorAnswer(u"bad\x1b[31m key\u202e\x9b"_s));
        r = run({u"transcribe"_s, speechFile()}, c, m_server.baseUrl());
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, u"Gemini returned 400: bad\\x1b[31m key\\u202e\\x9b\n"_s);
        QVERIFY(log().contains(u"bad\\x1b[31m key\\u202e\\x9b"_s));
        QVERIFY(inert(log()));

        m_server.enqueue(200, FakeGeminiServer::modelsAnswer({u"gemini\x1b[8m-flash"_s}));
        r = run({u"models"_s}, c, m_server.baseUrl());
        QCOMPARE(r.out, u"gemini[8m-flash\tpicked\n"_s);
    }

    // What is read, kept, printed and logged of a huge error answer stays small.
    void aHugeErrorAnswerStaysSmall()
    {
        const Config c = keyed();
        // The program's peak memory, measured from its own start (a child's count would begin
        // with this process's, answer and all). The address sanitizer's quarantine would keep
        // every freed byte resident and hide what is really held.
        const QString peakFile = m_dir.filePath(u"peak"_s);
        const QByteArray sanitizer = qgetenv("ASAN_OPTIONS");
        qputenv("ASAN_OPTIONS", sanitizer + ":quarantine_size_mb=0");
        const auto peakKb = [&](const QByteArray &answer) {
            m_server.clear();
            m_server.enqueue(400, answer);
            QFile::remove(m_dir.filePath(u"vesk.log"_s));
            const Run r = run({u"transcribe"_s, speechFile()}, c, m_server.baseUrl(),
                              {u"/usr/bin/time"_s, u"-f"_s, u"%M"_s, u"-o"_s, peakFile});
            QFile f(peakFile);
            return std::pair{r, f.open(QIODevice::ReadOnly)
                                    ? f.readAll().trimmed().split('\n').last().toLong()
                                    : 0L};
        };
        const auto [small, smallKb] = peakKb(FakeGeminiServer::errorAnswer(u"small"_s));
        const auto [huge, hugeKb] =
            peakKb(FakeGeminiServer::errorAnswer(u"big "_s + QString(20 * 1024 * 1024, u'x')));
        qputenv("ASAN_OPTIONS", sanitizer);
        QCOMPARE(small.code, 1);
        QCOMPARE(huge.code, 1);
        QVERIFY(huge.err.startsWith(u"Gemini returned 400: big xxx"_s));
        QVERIFY2(huge.err.size() < 1000, QByteArray::number(huge.err.size()));
        QVERIFY2(log().size() < 1000, QByteArray::number(log().size()));
        QVERIFY(smallKb > 0);
        // A 20 MB answer: Qt too must hold only small steps of it, not the whole.
        QVERIFY2(hugeKb - smallKb < 4 * 1024,
                 QByteArray::number(qlonglong(hugeKb - smallKb)) + " kB more");
    }

    // Whatever Qt makes of an answer, the terminal gets the program's one line and nothing of
    // Qt's: each of these is asked four times.
    void standardErrorHoldsOnlyOurWords_data()
    {
        QTest::addColumn<FakeGeminiServer::Answer>("answer");
        QTest::addColumn<QString>("err"); // how its one line begins
        const QList<std::pair<QByteArray, QByteArray>> gzip{{"Content-Encoding", "gzip"}};
        FakeGeminiServer::Answer broken{500, "not gzip at all"};
        broken.headers = gzip;
        QTest::newRow("compressed 500 that does not decompress")
            << broken << u"Gemini returned 500: Scripted\n"_s;
        // Read only in part: the rest is cut off.
        FakeGeminiServer::Answer large{
            500, qCompress(FakeGeminiServer::errorAnswer(QString(200000, u'x'))).mid(4)};
        large.headers = {{"Content-Encoding", "deflate"}};
        QTest::newRow("large compressed 500") << large << u"Gemini returned 500: xxxx"_s;
        FakeGeminiServer::Answer cut{200, FakeGeminiServer::generateContentAnswer(u"Salom"_s)};
        cut.chunked = true;
        cut.cutAfter = 20;
        QTest::newRow("200 cut short")
            << cut
            << u"Could not reach Gemini: the connection was closed before the whole answer came\n"_s;
    }

    void standardErrorHoldsOnlyOurWords()
    {
        QFETCH(FakeGeminiServer::Answer, answer);
        QFETCH(QString, err);
        m_server.setFallback(answer);
        const Run r = run({u"transcribe"_s, speechFile()}, keyed(), m_server.baseUrl());
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith(err) && r.err.count(u'\n') == 1 && r.err.endsWith(u'\n'),
                 qPrintable(r.err));
        QCOMPARE(m_server.requests().size(), 4);
    }

    // Past the inline ceiling (100 MB of request, so FLAC beyond 75 MB) the recording goes
    // through the file upload; what was uploaded is deleted again before the command ends, also
    // when it is interrupted while the transcription is asked for.
    void transcribeDeletesWhatItUploaded_data()
    {
        QTest::addColumn<int>("signal"); // 0: answered
        QTest::newRow("answered") << 0;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void transcribeDeletesWhatItUploaded()
    {
        QFETCH(int, signal);
        // 42 minutes of noise, which no lossless coder makes smaller.
        const QString file = m_dir.filePath(u"long.wav"_s);
        if (!QFileInfo::exists(file)) {
            std::vector<short> noise(40'000'000);
            quint32 state = 1;
            for (short &sample : noise) {
                state = state * 1664525u + 1013904223u;
                sample = short(state >> 16);
            }
            QVERIFY(WaveFiles::writeMono16k(file, noise));
        }
        if (signal == 0)
            m_server.enqueue(200, FakeGeminiServer::generateContentAnswer(u"uzun"_s));
        else
            m_server.enqueue({200, {}, true});

        keyed().saveTo(m_dir.filePath(u"config.json"_s));
        QProcess p;
        p.setProcessEnvironment(TestSupport::appEnvironment(m_dir.path(), m_server.baseUrl()));
        p.start(TestSupport::executable(), {u"transcribe"_s, file});
        // Upload start, the bytes, the request naming the file.
        QVERIFY(m_server.waitForRequests(3, 60000));
        QCOMPARE(m_server.requests().at(2).target,
                 "/v1beta/models/gemini-3.7-flash:generateContent"_ba);
        QCOMPARE(m_server.files().size(), 1);
        if (signal != 0)
            ::kill(pid_t(p.processId()), signal);
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 30000);
        QCOMPARE(m_server.deletedFiles().size(), 1);
        QVERIFY(m_server.files().isEmpty());
        QCOMPARE(m_server.requests().last().method, "DELETE"_ba);
        if (signal == 0) {
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), 0);
            QCOMPARE(p.readAllStandardOutput(), "uzun\n"_ba);
        } else {
            // Ended as the signal ends a program.
            QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        }
        QVERIFY2(p.readAllStandardError().isEmpty(), "");
    }

    void usageErrors()
    {
        QCOMPARE(run({u"transcribe"_s}, Config()).code, 2);
        QCOMPARE(run({u"prompt"_s, u"extra"_s}, Config()).code, 2);
        QCOMPARE(run({u"--bogus"_s}, Config()).code, 2);
        const Run help = run({u"--help"_s}, Config());
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains(u"transcribe FILE"_s));
    }
};

QTEST_GUILESS_MAIN(CliTranscriptionTest)
#include "tst_cli_transcription.moc"
