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
using Answer = FakeGeminiServer::Answer;

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

private Q_SLOTS:
    void init() { m_server.clear(); }

    // What the terminal gets and how the command exits: for no key, no file or bad usage without
    // a request; and whatever Qt makes of an answer, the program's one line and nothing of Qt's
    // (each of these is asked four times).
    void whatTheTerminalGets_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("key");
        QTest::addColumn<Answer>("answer"); // status 0: nothing listens
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out"); // in what is printed; none: nothing is
        QTest::addColumn<QString>("err"); // all of it
        const QString noKey = u"No API key. Add it in Settings, or set GEMINI_API_KEY.\n"_s;
        const QString missing = m_dir.filePath(u"missing.wav"_s);
        const auto usage = [](const QString &what) {
            return u"vesk-voice: %1 (see 'vesk-voice --help')\n"_s.arg(what);
        };
        const QStringList transcribe{u"transcribe"_s, speechFile()};
        const Answer none{0};
        QTest::newRow("transcribe without a key")
            << transcribe << false << none << 1 << QString() << noKey;
        QTest::newRow("no such file")
            << QStringList{u"transcribe"_s, missing} << true << none << 1 << QString()
            << u"Could not read the recording %1: no such file\n"_s.arg(missing);
        QTest::newRow("no file") << QStringList{u"transcribe"_s} << true << none << 2 << QString()
                                 << usage(u"'transcribe' needs exactly one FILE"_s);
        QTest::newRow("prompt and more")
            << QStringList{u"prompt"_s, u"extra"_s} << true << none << 2 << QString()
            << usage(u"'prompt' takes no arguments"_s);
        QTest::newRow("unknown option") << QStringList{u"--bogus"_s} << true << none << 2
                                        << QString() << usage(u"unknown option '--bogus'"_s);
        QTest::newRow("help") << QStringList{u"--help"_s} << true << none << 0
                              << u"transcribe FILE"_s << QString();

        // Compressed answers: one that does not decompress, one read only in part (the rest is cut
        // off).
        Answer broken{500, "not gzip at all"},
            large{500, qCompress(FakeGeminiServer::errorAnswer(QString(200000, u'x'))).mid(4)};
        broken.headers = {{"Content-Encoding", "gzip"}};
        large.headers = {{"Content-Encoding", "deflate"}};
        QTest::newRow("compressed 500 that does not decompress")
            << transcribe << true << broken << 1 << QString()
            << u"Gemini returned 500: Scripted\n"_s;
        QTest::newRow("large compressed 500")
            << transcribe << true << large << 1 << QString()
            << u"Gemini returned 500: "_s + QString(300, u'x') + u"…\n"_s;
        const QByteArray salom = FakeGeminiServer::generateContentAnswer(u"Salom"_s);
        QTest::newRow("200 cut short")
            << transcribe << true << Answer{.body = salom, .chunked = true, .cutAfter = 20} << 1
            << QString()
            << u"Could not reach Gemini: the connection was closed before the whole answer came\n"_s;
    }

    void whatTheTerminalGets()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, key);
        QFETCH(Answer, answer);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        Config c = keyed();
        c.apiKey = key ? c.apiKey : QString();
        for (int i = 0; i < 4 && answer.status != 0; ++i)
            m_server.enqueue(answer);
        const Run r =
            run(args, c, answer.status != 0 ? m_server.baseUrl() : u"http://127.0.0.1:9"_s);
        QCOMPARE(r.code, code);
        QCOMPARE(r.err, err);
        QVERIFY2(out.isEmpty() ? r.out.isEmpty() : r.out.contains(out), qPrintable(r.out));
        QCOMPARE(m_server.requests().size(), answer.status != 0 ? 4 : 0);
    }

    // The recording goes out with its long pause cut, as a dictation sends it, to the configured
    // endpoint; the trimmed copy stays only while recordings are kept. Nothing the service writes
    // can drive the terminal or reach the log as it came. The prompt is printed exactly.
    void transcribeModelsAndPrompt()
    {
        const QString file = m_dir.filePath(u"pause.wav"_s);
        // 1 s of sound, 2 s of digital silence, 1 s of sound.
        QVERIFY(WaveFiles::writeMono16k(
            file, WaveFiles::noise({{16000, 8000}, {32000, 0}, {16000, 8000}}, 1)));
        const QString trimmed = m_dir.filePath(u"pause.trimmed.wav"_s);
        Config c = keyed();
        c.trimSilence = true;
        c.keepSilenceSeconds = 0.25;
        c.keepAudio = true;
        m_server.enqueue(200, FakeGeminiServer::generateContentAnswer(
                                  u"Salom\x1b]0;title\x07 \x1b[2Jdunyo\u202e!\u0085\r\n"_s));
        Run r = run({u"transcribe"_s, file}, c, m_server.baseUrl());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"Salom]0;title [2Jdunyo!\n"_s);
        QVERIFY(log().contains(u"transcript: Salom]0;title [2Jdunyo!\n"_s));
        QCOMPARE(m_server.requests().size(), 1);
        QCOMPARE(m_server.requests().last().target,
                 "/v1beta/models/gemini-3.7-flash:generateContent"_ba);
        // What was sent is what is kept.
        QVERIFY(
            m_server.requests().last().body.contains(TestSupport::readFile(trimmed).toBase64()));
        QVERIFY(QFile::remove(trimmed));

        c.keepAudio = false;
        m_server.enqueue(400, FakeGeminiServer::errorAnswer(u"bad\x1b[31m key\u202e\x9b"_s));
        r = run({u"transcribe"_s, file}, c, m_server.baseUrl());
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, u"Gemini returned 400: bad\\x1b[31m key\\u202e\\x9b\n"_s);
        QVERIFY(r.out.isEmpty());
        QVERIFY(log().contains(u"bad\\x1b[31m key\\u202e\\x9b"_s));
        // Nothing but line feeds and tabs below 0x20, no C1 controls, no bidirectional overrides.
        QVERIFY(!log().contains(
            QRegularExpression(u"[\\x00-\\x08\\x0b-\\x1f\\x7f-\\x9f\\x{202a}-\\x{202e}]"_s)));
        QVERIFY(!QFile::exists(trimmed));
        QVERIFY(QFile::exists(file));

        // Sorted, the one that would be picked marked.
        m_server.enqueue(
            200, FakeGeminiServer::modelsAnswer({u"gemini-pro"_s, u"gemini-2.5\x1b[8m-flash"_s}));
        r = run({u"models"_s}, c, m_server.baseUrl());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"gemini-2.5[8m-flash\tpicked\ngemini-pro\n"_s);

        c.languageCodes = {u"uz-UZ"_s, u"ru-RU"_s};
        c.customVocabulary = {u"Oʻzbekiston"_s};
        r = run({u"prompt"_s}, c);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, GeminiClient::from(c).fullPrompt());
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
        if (!QFileInfo::exists(file))
            QVERIFY(WaveFiles::writeMono16k(file, WaveFiles::noise({{40'000'000, 32767}}, 1)));
        // Interrupted while the answer hangs.
        m_server.enqueue({200, FakeGeminiServer::generateContentAnswer(u"uzun"_s), signal != 0});

        keyed().saveTo(m_dir.filePath(u"config.json"_s));
        QProcess p;
        p.setProcessEnvironment(TestSupport::appEnvironment(m_dir.path(), m_server.baseUrl()));
        p.start(TestSupport::executable(), {u"transcribe"_s, file});
        // Upload start, the bytes, the request naming the file.
        QVERIFY(m_server.waitForRequests(3, 60000));
        QCOMPARE(m_server.requests().at(2).target,
                 "/v1beta/models/gemini-3.7-flash:generateContent"_ba);
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
};

QTEST_GUILESS_MAIN(CliTranscriptionTest)
#include "tst_cli_transcription.moc"
