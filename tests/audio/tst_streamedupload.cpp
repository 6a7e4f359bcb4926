#include "app/controller/AppDelegate.h"
#include "app/services/GeminiTranscriber.h"
#include "audio/AudioEncoder.h"
#include "audio/AudioTrimmer.h"
#include "ControllerFakes.h"
#include "FakeGeminiServer.h"
#include "TestSupport.h"
#include "WaveFiles.h"

#include <QtTest>
#include <thread>

// A dictation from the key going down to the text, with the real transcriber and trimmer: what
// the upload carries when the audio was trimmed and encoded while the user spoke, and when the
// file had to be used instead.
class StreamedUploadTest : public QObject
{
    Q_OBJECT

    FakeGeminiServer *m_server = nullptr;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::isolateDataDir();
        qunsetenv("GEMINI_API_KEY");
        m_server = new FakeGeminiServer(this);
        m_server->setFallback({200, FakeGeminiServer::generateContentAnswer(u"ok"_s)});
        qputenv("VESK_GEMINI_BASE_URL", m_server->baseUrl().toUtf8());
    }

    void theUploadCarriesTheEncodingMadeWhileSpeaking_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("trim");
        QTest::addColumn<QString>("formatAtRelease"); // the setting when the key comes up
        QTest::addColumn<int>("missingFrames");       // of the file, against what was heard
        QTest::addColumn<QString>("logLine");         // how the audio went; empty: no such line

        const QString streamed = u"audio encoded while recording: "_s;
        QTest::newRow("Ogg, trimmed") << "ogg" << true << "ogg" << 0 << streamed;
        QTest::newRow("FLAC, trimmed") << "flac" << true << "flac" << 0 << streamed;
        QTest::newRow("FLAC, untrimmed") << "flac" << false << "flac" << 0 << streamed;
        QTest::newRow("the file lost audio: the file is sent")
            << "flac" << true << "flac" << 4000
            << u"audio encoded while recording not sent (the recording holds "
               "69600 frames, 73600 were encoded): the file goes instead"_s;
        QTest::newRow("the format changed while speaking: the file is sent")
            << "ogg" << true << "flac" << 0 << QString();
    }

    void theUploadCarriesTheEncodingMadeWhileSpeaking()
    {
        QFETCH(QString, format);
        QFETCH(bool, trim);
        QFETCH(QString, formatAtRelease);
        QFETCH(int, missingFrames);
        QFETCH(QString, logLine);
        m_server->clear();
        Log::reset();

        Config config;
        config.apiKey = u"k-1"_s;
        config.audioFormat = format;
        config.trimSilence = trim;
        config.keepSilenceSeconds = 0.25;
        AppState state{config, History()};
        auto *recorder = new FakeRecorder;
        auto *inserter = new FakeInserter;
        AppDelegate controller(&state, {.recorder = std::unique_ptr<RecorderPort>(recorder),
                                        .hotkey = std::make_unique<FakeHotkey>(),
                                        .inserter = std::unique_ptr<InserterPort>(inserter),
                                        .transcriber = std::make_unique<GeminiTranscriber>(),
                                        .trim = &AudioTrimmer::trimSilence});

        controller.startRecording(u"key"_s);
        QVERIFY(recorder->recording);
        // The capture thread hands over 20 ms at a time while the file is written.
        // Two spoken-like stretches, each followed by a pause long enough to be cut.
        const std::vector<short> heard =
            WaveFiles::noise({{16000, 7000}, {24000, 6}, {19200, 7000}, {14400, 6}}, 5);
        std::thread([&] {
            for (size_t at = 0; at < heard.size(); at += 320) {
                const size_t n = std::min<size_t>(320, heard.size() - at);
                recorder->audio(QByteArray(reinterpret_cast<const char *>(heard.data() + at),
                                           qsizetype(n * 2)));
            }
        }).join();
        const std::vector<short> written(heard.begin(), heard.end() - missingFrames);
        const QString file = m_dir.filePath(u"vesk-%1.wav"_s.arg(QTest::currentDataTag()));
        QVERIFY(WaveFiles::writeMono16k(file, written));
        // What the file gives when trimmed and encoded after release, as before.
        const QString copy = m_dir.filePath(u"copy.wav"_s);
        QVERIFY(WaveFiles::writeMono16k(copy, written));
        const std::optional<QString> trimmedCopy =
            trim ? AudioTrimmer::trimSilence(copy, 0.25) : std::nullopt;
        QVERIFY(!trim || trimmedCopy);
        const QByteArray sentBefore = TestSupport::readFile(trimmedCopy.value_or(copy));

        config.audioFormat = formatAtRelease;
        state.setConfig(config);
        controller.finishRecording();
        recorder->deliver(Recording{file, double(written.size()) / 16000});
        QTRY_COMPARE_WITH_TIMEOUT(inserter->calls.size(), 1, 15000);
        QCOMPARE(inserter->calls.first().text, u"ok"_s);

        QCOMPARE(m_server->requests().size(), 1);
        const QJsonValue audio = QJsonDocument::fromJson(
            m_server->requests().first().body)["contents"_L1][0]["parts"_L1][1]["inline_data"_L1];
        const QString mimeType = audio["mime_type"_L1].toString();
        const QByteArray bytes = QByteArray::fromBase64(audio["data"_L1].toString().toLatin1());
        if (formatAtRelease == "flac"_L1) {
            QCOMPARE(mimeType, AudioEncoder::flacType);
            QVERIFY(bytes == AudioEncoder::toFlac(sentBefore).bytes);
        } else {
            QCOMPARE(mimeType, AudioEncoder::oggType);
            SF_INFO info;
            const std::vector<short> expected =
                WaveFiles::read<short>(trimmedCopy.value_or(copy), info);
            QCOMPARE(WaveFiles::decode(bytes, m_dir.path(), info).size(), expected.size());
        }
        const QStringList said =
            logMessages().filter(QRegularExpression(u"^audio encoded while recording"_s));
        QVERIFY2(logLine.isEmpty() ? said.isEmpty()
                                   : said.size() == 1 && said.first().startsWith(logLine),
                 qPrintable(said.join(u'\n')));
    }
};

QTEST_MAIN(StreamedUploadTest)
#include "tst_streamedupload.moc"
