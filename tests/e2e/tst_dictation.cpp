#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "FakeLiveServer.h"
#include "transcription/GeminiClient.h"
#include "records/History.h"
#include "TestSupport.h"
#include "TextClients.h"
#include "WaveFiles.h"
#include "XTestInput.h"

#include <QtTest>

#include <csignal>

// A whole dictation with every real part: the app under the X server, the hotkey pressed through
// XTest, speech on the virtual microphone, the fake Gemini server, and a Tk text field that
// receives the transcripts. They follow each other within a minute into the same field, so each
// after the first starts with a space. Then the same app loses nothing a user said or set: not on
// a full disk, not when it is quit or killed while a recording is being transcribed.
class DictationTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp, m_work;
    QString m_data;
    FakeGeminiServer *m_server = nullptr;
    FakeLiveServer *m_live = nullptr;
    QProcess m_app;
    TextClientProcess m_client{TextClientProcess::Kind::tk};
    QString m_speech;

    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

    // Waits in the event loop, not in waitForFinished(): the fake server lives on this thread
    // and must accept and answer while a helper program runs, or it would see a connection
    // opened during the recording only after the key was let go.
    bool command(const QString &name) const { return TestSupport::runApp({name}, m_env).ok(); }
    bool speak() const { return TestSupport::playToMicrophone(m_speech, m_env); }
    QString log() const { return TestSupport::appLog(m_data); }
    QString path(const QString &name) const { return m_data + u'/' + name; }
    QByteArray bytes(const QString &name) const { return TestSupport::readFile(path(name)); }
    History history() const { return History::loadFrom(path(u"history.json"_s)); }
    QStringList failed() const
    {
        return QDir(path(u"recordings"_s)).entryList({u"failed-*.wav"_s}, QDir::Files);
    }

    QString received() const { return m_client.received(); }

    QStringList recordings() const
    {
        return QDir(m_tmp.path()).entryList({u"vesk-*.wav"_s}, QDir::Files);
    }

    // Holds the hotkey while the virtual microphone speaks, then lets go.
    void dictate(const std::function<void()> &whileHeld = {})
    {
        const qsizetype before = log().count(u"recording started"_s);
        // Right Ctrl alone: xdotool's keydown would add the left Control key as a modifier.
        const int hotkey = XTestInput::keycode("Control_R");
        XTestInput::key(hotkey, true);
        // Let go even when a check below fails: a key left down hides every later press.
        const auto release = qScopeGuard([hotkey] { XTestInput::key(hotkey, false); });
        QTRY_VERIFY2_WITH_TIMEOUT(log().count(u"recording started"_s) > before, qPrintable(log()),
                                  10000);
        QVERIFY(speak());
        if (whileHeld)
            whileHeld();
    }

    // Start, speech on the virtual microphone, stop: as a desktop shortcut bound to the commands.
    // With `sent`, until the request reaches the server.
    void dictateByCommands(bool sent = true, const std::function<void()> &beforeStop = {})
    {
        const qsizetype before = m_server->requests().size();
        QVERIFY(command(u"start"_s));
        // The log may be on a full disk: what reaches the server, or its end state, tells.
        QTest::qWait(500);
        QVERIFY(speak());
        if (beforeStop)
            beforeStop();
        QVERIFY(command(u"stop"_s));
        if (sent)
            QTRY_VERIFY_WITH_TIMEOUT(m_server->requests().size() > before, 30000);
    }

    // A data folder of its own, with the settings the test starts from.
    void useDataFolder(const QString &folder)
    {
        m_data = folder;
        QVERIFY(QDir().mkpath(folder));
        m_env.insert(u"VESK_DATA_DIR"_s, folder);
        Config c;
        c.apiKey = u"e2e-key"_s;
        c.onboardingDone = true;
        c.hotkey = HotkeyKind::fn;
        c.sounds = false;
        c.insertMethod = u"type"_s;
        c.languageCodes = {u"uz-UZ"_s, u"en-US"_s};
        // The floating button where the test's pointer will find it.
        c.hudX = 600;
        c.hudY = 600;
        QVERIFY(c.saveTo(path(u"config.json"_s)));
    }

    void stopApp(int signal = SIGTERM)
    {
        if (m_app.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_app.processId()), signal);
        QVERIFY(m_app.waitForFinished(15000));
    }

    void restartWith(const std::function<void(Config &)> &change)
    {
        Config c = Config::loadFrom(path(u"config.json"_s));
        change(c);
        c.saveTo(path(u"config.json"_s));
        startApp();
    }

    void startApp()
    {
        stopApp();
        // A restart must not pass on the last run's lines.
        QFile::remove(path(u"vesk.log"_s));
        m_app.setProcessEnvironment(m_env);
        m_app.start(TestSupport::executable(), {});
        // A press before the app watches the keyboard would only be seen as a key already down.
        QTRY_VERIFY2_WITH_TIMEOUT(
            log().contains(u"hotkey monitor watching the whole desktop"_s),
            qPrintable(u"app state %1, log:\n%2"_s.arg(int(m_app.state())).arg(log())), 30000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        VESK_REQUIRE_DISPLAY();
        VESK_REQUIRE_AUDIO();
        m_server = new FakeGeminiServer(this);
        m_live = new FakeLiveServer(m_server, this);

        // A spoken sentence, as the microphone will hear it.
        m_speech = m_work.filePath(u"speech.wav"_s);
        QVERIFY(TestSupport::speak(m_speech, u"Salom dunyo. This is a short dictation test."_s));
        QVERIFY(m_client.start());

        m_env = TestSupport::appEnvironment(QString(), m_server->baseUrl());
        m_env.insert(u"TMPDIR"_s, m_tmp.path());
        m_app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        useDataFolder(m_work.filePath(u"data"_s));
        startApp();
    }

    void init()
    {
        m_server->clear();
        m_live->clear();
    }

    void cleanupTestCase()
    {
        // The app's log outlives the run, for reading a failure.
        TestSupport::writeFile(TestSupport::binaryDir() + u"/tests/e2e/vesk-e2e.log"_s,
                               log().toUtf8());
        stopApp();
    }

    void holdSpeakRelease()
    {
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(
                                   u"Salom dunyo. This is a short dictation test."_s));
        dictate();
        QTRY_COMPARE_WITH_TIMEOUT(received(), u"Salom dunyo. This is a short dictation test."_s,
                                  30000);

        QCOMPARE(m_server->requests().size(), 1);
        const auto &request = m_server->requests().first();
        QCOMPARE(request.headers.value("x-goog-api-key"), "e2e-key"_ba);
        const QJsonArray parts =
            QJsonDocument::fromJson(request.body)[u"contents"_s][0][u"parts"_s].toArray();
        QCOMPARE(parts[0][u"text"_s].toString(),
                 GeminiClient::from(Config::loadFrom(path(u"config.json"_s))).fullPrompt());

        // What was sent is the recording with speech in it (its format is the recorder's and the
        // trimmer's tests').
        SF_INFO info;
        const std::vector<short> samples = WaveFiles::decode(
            QByteArray::fromBase64(parts[1][u"inline_data"_s][u"data"_s].toString().toLatin1()),
            m_work.path(), info);
        QVERIFY(info.frames > 16000 / 2);
        const auto loud = std::count_if(samples.begin(), samples.end(),
                                        [](short s) { return std::abs(int(s)) > 1000; });
        QVERIFY2(loud > 1000, "the recording holds no speech");

        const History history = this->history();
        QCOMPARE(history.entries.size(), 1);
        QCOMPARE(history.entries.first().text, u"Salom dunyo. This is a short dictation test."_s);
        QCOMPARE(history.entries.first().source, u"mac"_s);
        // Neither the recording nor its trimmed copy is left behind.
        QTRY_VERIFY(recordings().isEmpty());
    }

    void escapeCancels()
    {
        dictate([] { XTestInput::tap("Escape"); });
        QTRY_VERIFY_WITH_TIMEOUT(log().contains(u"recording cancelled"_s), 10000);
        QTest::qWait(1000);
        QCOMPARE(m_server->requests().size(), 0);
        QTRY_VERIFY(recordings().isEmpty());
    }

    void rejectedRequestKeepsTheRecording()
    {
        m_server->enqueue(400, FakeGeminiServer::errorAnswer(u"Audio too noisy"_s));
        dictate();
        QTRY_VERIFY_WITH_TIMEOUT(
            log().contains(u"transcription failed: Gemini returned 400: Audio too noisy"_s), 30000);
        // It waits for a retry in the data folder, owner-only, not in the temporary folder.
        QTRY_VERIFY(recordings().isEmpty());
        QCOMPARE(failed().size(), 1);
        QCOMPARE(TestSupport::unixMode(path(u"recordings/"_s) + failed().first()), 0600);
        QCOMPARE(received(), u"Salom dunyo. This is a short dictation test."_s);
    }

    // A click on the floating button starts a dictation and its send button finishes it; the
    // text still lands in the focused text field.
    void floatingButtonClickAndSend()
    {
        m_server->enqueue(200,
                          FakeGeminiServer::generateContentAnswer(u"The floating button works."_s));
        const QString before = received();
        const qsizetype started = log().count(u"recording started"_s);
        // 48 x 44 at (600, 600); recording, it is 178 wide about the same centre.
        XTestInput::moveTo(624, 622);
        XTestInput::click(1);
        QTRY_VERIFY2_WITH_TIMEOUT(log().count(u"recording started"_s) > started, qPrintable(log()),
                                  10000);
        QVERIFY(speak());
        // The send button: the row's right padding 9, cancel 26, spacing 7, then send's centre.
        XTestInput::moveTo(535 + 178 - 9 - 26 - 7 - 13, 622);
        XTestInput::click(1);
        QTRY_COMPARE_WITH_TIMEOUT(received(), before + u" The floating button works."_s, 30000);
        QCOMPARE(m_server->requests().size(), 1);
    }

    // What a desktop shortcut bound to the commands does: start, speak, stop, and the text lands
    // in the focused field as from the floating button. The way to the service is opened while
    // the user speaks and kept: both dictations travel on one connection, accepted before the
    // first was released.
    void commandLineStartAndStopOnOneWarmConnection()
    {
        m_server->setKeepAlive(true);
        const auto closing = qScopeGuard([this] { m_server->setKeepAlive(false); });
        qint64 firstReleaseMs = -1;
        for (const QString &text : {u"Started from a shortcut."_s, u"And once more."_s}) {
            m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(text));
            const QString before = received();
            dictateByCommands(true, [&] {
                if (firstReleaseMs < 0)
                    firstReleaseMs = m_server->elapsedMs();
            });
            QTRY_COMPARE_WITH_TIMEOUT(received(), before + u' ' + text, 30000);
        }
        const auto &requests = m_server->requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[1].connection, requests[0].connection);
        // Nothing at all was opened once the key was let go.
        QVERIFY2(m_server->connections().last() < firstReleaseMs,
                 "a connection was opened after the key was released");
    }

    // Without a key no request can follow, so a recording opens nothing to the service.
    void noKeyNoConnection()
    {
        restartWith([](Config &c) { c.apiKey.clear(); });
        const qsizetype opened = m_server->connections().size();
        dictateByCommands(false);
        QTRY_VERIFY2_WITH_TIMEOUT(log().contains(u"transcription failed"_s), qPrintable(log()),
                                  30000);
        QCOMPARE(m_server->connections().size(), opened);
    }

    // A live model: the audio streams while the key is held, and at release the final text
    // lands in the field and in the history under the live model, with no request after it.
    void liveDictation()
    {
        const QString model = u"gemini-3.5-transcribe-live"_s;
        restartWith([&](Config &c) {
            c.apiKey = u"e2e-key"_s;
            c.model = model;
        });
        FakeLiveServer::Script script;
        script.pieces = {u"Live words "_s, u"while speaking."_s};
        m_live->setScript(script);
        const QString before = received();
        qsizetype heldChunks = 0;
        dictate([&] {
            if (!m_live->sessions().isEmpty())
                heldChunks = m_live->sessions().first().chunkBytes.size();
        });
        QTRY_COMPARE_WITH_TIMEOUT(received(), before + u"Live words while speaking."_s, 30000);
        // What the session was sent (the key in its header, the setup, the audio's end) is
        // tst_transcriber's; here, that most of the speech was there before the key came up.
        QCOMPARE(m_live->sessions().size(), 1);
        QVERIFY2(heldChunks >= 15, qPrintable(QString::number(heldChunks)));
        QVERIFY(m_server->requests().isEmpty());

        const History history = this->history();
        QCOMPARE(history.entries.first().text, u"Live words while speaking."_s);
        QCOMPARE(history.entries.first().model, model);
        // The log tells the story in order. The worker's lines and the controller's come from two
        // threads: the opening in any order.
        const QString text = log();
        QVERIFY(text.contains(u"live session opening for "_s + model));
        qsizetype at = 0;
        for (const char *line :
             {"recording started (mac) on ", "recorded ", "live session: final transcript",
              "transcript: Live words while speaking."}) {
            at = text.indexOf(QLatin1String(line), at);
            QVERIFY2(at >= 0, line);
        }
        QVERIFY(!log().contains(u"e2e-key"_s));
        QTRY_VERIFY(recordings().isEmpty());
    }

    // The data folder on a small memory disk that another program keeps full: every save fails,
    // and each must leave the files exactly as they were; the user is told, and the next change
    // saves once there is space again.
    void fullDiskEmptiesNoFile()
    {
        const QString disk = m_work.filePath(u"disk"_s);
        const TestSupport::SmallDisk small(disk, u"1m"_s);
        if (!small.mounted())
            QSKIP(qPrintable(small.error()));
        useDataFolder(disk + u"/data"_s);
        History old;
        for (const char *text : {"Birinchi yozuv.", "Второй текст.", "Third one."})
            old.add(HistoryEntry::make(QString::fromUtf8(text), 1, u"m"_s, u"mac"_s));
        QVERIFY(old.saveTo(path(u"history.json"_s)));
        QVERIFY(QDir().mkpath(disk + u"/fresh"_s));
        const QByteArray config = bytes(u"config.json"_s);
        const QByteArray historyFile = bytes(u"history.json"_s);
        startApp();

        // Another program takes every block as soon as one is free.
        const QString fill = disk + u"/fill"_s;
        QProcess filler;
        filler.start(u"sh"_s,
                     {u"-c"_s, u"while :; do cat /dev/zero >>'%1' 2>/dev/null; sleep 0.02; "
                               "done"_s.arg(fill)});
        QVERIFY(filler.waitForStarted());
        const auto free = [&] {
            filler.kill();
            filler.waitForFinished();
            QFile::remove(fill);
        };
        const auto freeing = qScopeGuard(free);
        QTRY_VERIFY(small.full());

        // With no settings yet, a command still works and leaves no empty file for the next
        // launch to mistake for the user's.
        QProcessEnvironment fresh = m_env;
        fresh.insert(u"VESK_DATA_DIR"_s, disk + u"/fresh"_s);
        const TestSupport::Run prompt = TestSupport::runApp({u"prompt"_s}, fresh);
        QVERIFY(prompt.ok());
        QVERIFY(prompt.out.startsWith(Config::defaultPrompt));
        QVERIFY2(prompt.err.contains("No space left on device"_L1), qPrintable(prompt.err));
        QVERIFY(!QFileInfo::exists(disk + u"/fresh/config.json"_s));

        for (const char *text : {"On a full disk.", "Still full."}) {
            m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(text));
            dictateByCommands();
        }
        // The answers are in; their history could not be saved.
        QTest::qWait(1500);
        QCOMPARE(bytes(u"config.json"_s), config);
        QCOMPARE(bytes(u"history.json"_s), historyFile);
        QStringList names = QDir(m_data).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(u"vesk.log"_s);
        QCOMPARE(names, (QStringList{u"config.json"_s, u"history.json"_s}));

        // Space again: the next transcript saves everything the app holds, and the log, which
        // could not be written meanwhile, tells once what happened.
        free();
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer("Space again."));
        dictateByCommands();
        QTRY_COMPARE(history().entries.size(), 6);
        QCOMPARE(history().entries.first().text, u"Space again."_s);
        QCOMPARE(history().entries.last().text, u"Birinchi yozuv."_s);
        QTRY_VERIFY(log().contains(u"saved %1 again"_s.arg(path(u"history.json"_s))));
        QCOMPARE(log().count(
                     u"could not save %1 (No space left on device)"_s.arg(path(u"history.json"_s))),
                 1);
        QCOMPARE(Config::loadFrom(path(u"config.json"_s)).apiKey, u"e2e-key"_s);

        // Full again at the quit, free at the next launch: nothing was set aside or emptied.
        filler.start();
        QVERIFY(filler.waitForStarted());
        QTRY_VERIFY(small.full());
        stopApp();
        free();
        startApp();
        QCOMPARE(history().entries.size(), 6);
        QCOMPARE(Config::loadFrom(path(u"config.json"_s)).apiKey, u"e2e-key"_s);
        QVERIFY(QDir(m_data).entryList({u"*.unreadable-*"_s}).isEmpty());
        QVERIFY(!log().contains(u"could not be read"_s));
    }

    // Quit at logout, or killed, while the service has not answered yet: the recording waits in
    // the data folder, the next launch says so, and a retry sends it and saves its transcript.
    void quitOrKillDuringTheRequest_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM, as at logout") << int(SIGTERM);
        QTest::newRow("SIGKILL") << int(SIGKILL);
    }

    void quitOrKillDuringTheRequest()
    {
        QFETCH(int, signal);
        useDataFolder(m_work.filePath(u"quit-%1"_s.arg(signal)));
        startApp();
        m_server->enqueue({200, {}, true}); // never answered
        dictateByCommands();
        stopApp(signal);
        QCOMPARE(failed().size(), 1);
        QCOMPARE(TestSupport::unixMode(path(u"recordings/"_s) + failed().first()), 0600);
        // A quit also takes its trimmed copy away.
        if (signal == SIGTERM) {
            QVERIFY(log().contains(u"quit during the transcription"_s));
            QVERIFY(recordings().isEmpty());
        }

        startApp();
        QVERIFY(log().contains(u"1 recording(s) wait for a retry"_s));
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer("Sent again."));
        QVERIFY(command(u"retry"_s));
        QTRY_COMPARE_WITH_TIMEOUT(history().entries.value(0).text, u"Sent again."_s, 30000);
        QTRY_VERIFY(failed().isEmpty());
        // What was retried is the recording that was cut off.
        QCOMPARE(m_server->requests().size(), 2);
        QCOMPARE(m_server->requests().last().body.size(), m_server->requests().first().body.size());
    }
};

QTEST_GUILESS_MAIN(DictationTest)
#include "tst_dictation.moc"
