#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "records/History.h"
#include "TestSupport.h"

#include <QtTest>

#include <csignal>

// The real app on the real desktop loses nothing a user said or set: not on a full disk, not when
// it is quit or killed while a recording is being transcribed.
class NothingLostTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    FakeGeminiServer *m_server = nullptr;
    QProcess m_app;
    QString m_data, m_speech;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

    // Waits in the event loop, so that the fake server keeps answering meanwhile.
    TestSupport::Run run(const QString &program, const QStringList &args) const
    {
        return TestSupport::run(program, args, m_env);
    }
    bool command(const QString &name) const { return run(TestSupport::executable(), {name}).ok(); }

    QString file(const QString &name) const { return m_data + u'/' + name; }
    QByteArray bytes(const QString &name) const { return TestSupport::readFile(file(name)); }
    QString log() const { return TestSupport::appLog(m_data); }
    History savedHistory() const { return History::loadFrom(file(u"history.json"_s)); }
    QStringList kept() const
    {
        return QDir(file(u"recordings"_s)).entryList({u"failed-*.wav"_s}, QDir::Files);
    }

    void useDataFolder(const QString &folder)
    {
        m_data = folder;
        QVERIFY(QDir().mkpath(folder));
        m_env.insert(u"VESK_DATA_DIR"_s, folder);
        Config c;
        c.apiKey = u"kept-key"_s;
        c.onboardingDone = true;
        c.sounds = false;
        c.insertMethod = u"type"_s;
        c.hudVisible = false;
        QVERIFY(c.saveTo(file(u"config.json"_s)));
    }

    void startApp()
    {
        // A restart must not pass on the last run's lines.
        QFile::remove(file(u"vesk.log"_s));
        m_app.setProcessEnvironment(m_env);
        m_app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_app.start(TestSupport::executable(), {});
        QVERIFY(m_app.waitForStarted());
        QTRY_VERIFY2_WITH_TIMEOUT(log().contains(u"accessibility granted"_s), qPrintable(log()),
                                  30000);
    }

    void stopApp(int signal = SIGTERM)
    {
        if (m_app.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_app.processId()), signal);
        QVERIFY(m_app.waitForFinished(15000));
    }

    // Start, speech on the virtual microphone, stop: as a desktop shortcut bound to the commands.
    void dictate()
    {
        const qsizetype before = m_server->requests().size();
        QVERIFY(command(u"start"_s));
        // The log may be on the full disk: the request reaching the server is what tells.
        QTest::qWait(500);
        QVERIFY(TestSupport::playToMicrophone(m_speech, m_env));
        QVERIFY(command(u"stop"_s));
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requests().size() > before, 30000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        VESK_REQUIRE_DISPLAY();
        VESK_REQUIRE_AUDIO();
        m_server = new FakeGeminiServer(this);
        m_speech = m_work.filePath(u"speech.wav"_s);
        QVERIFY(TestSupport::speak(m_speech, u"Nothing is lost."_s));
        m_env = TestSupport::appEnvironment(m_data, m_server->baseUrl(), m_env);
        m_env.insert(u"TMPDIR"_s, m_work.path());
    }

    void cleanup()
    {
        stopApp(SIGKILL);
        m_server->clear();
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
        QVERIFY(old.saveTo(file(u"history.json"_s)));
        const QByteArray config = bytes(u"config.json"_s);
        const QByteArray history = bytes(u"history.json"_s);
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

        for (const char *text : {"On a full disk.", "Still full."}) {
            m_server->enqueue(200, FakeGeminiServer::generateContentAnswer(text));
            dictate();
        }
        // The answers are in; their history could not be saved.
        QTest::qWait(1500);
        QCOMPARE(bytes(u"config.json"_s), config);
        QCOMPARE(bytes(u"history.json"_s), history);
        QStringList names = QDir(m_data).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(u"vesk.log"_s);
        QCOMPARE(names, (QStringList{u"config.json"_s, u"history.json"_s}));

        // Space again: the next transcript saves everything the app holds, and the log, which
        // could not be written meanwhile, tells once what happened.
        free();
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer("Space again."));
        dictate();
        QTRY_COMPARE(savedHistory().entries.size(), 6);
        QCOMPARE(savedHistory().entries.first().text, u"Space again."_s);
        QCOMPARE(savedHistory().entries.last().text, u"Birinchi yozuv."_s);
        QTRY_VERIFY(log().contains(u"saved %1 again"_s.arg(file("history.json"))));
        QCOMPARE(log().count(
                     u"could not save %1 (No space left on device)"_s.arg(file(u"history.json"_s))),
                 1);
        QCOMPARE(Config::loadFrom(file(u"config.json"_s)).apiKey, u"kept-key"_s);

        // Full again at the quit, free at the next launch: nothing was set aside or emptied.
        filler.start();
        QVERIFY(filler.waitForStarted());
        QTRY_VERIFY(small.full());
        stopApp();
        free();
        startApp();
        QCOMPARE(savedHistory().entries.size(), 6);
        QCOMPARE(Config::loadFrom(file(u"config.json"_s)).apiKey, u"kept-key"_s);
        QVERIFY(QDir(m_data).entryList({u"*.unreadable-*"_s}).isEmpty());
        QVERIFY(!log().contains(u"could not be read"_s));
    }

    // With no settings yet, a command on a full disk still works and leaves no empty file for the
    // next launch to mistake for the user's.
    void commandLineOnAFullDisk()
    {
        const QString disk = m_work.filePath(u"small"_s);
        const TestSupport::SmallDisk small(disk, u"64k"_s);
        if (!small.mounted())
            QSKIP(qPrintable(small.error()));
        QVERIFY(QDir().mkpath(disk + u"/data"_s));
        small.fill();
        m_env.insert(u"VESK_DATA_DIR"_s, disk + u"/data"_s);
        const TestSupport::Run prompt = run(TestSupport::executable(), {u"prompt"_s});
        QVERIFY(prompt.ok());
        QVERIFY(prompt.out.startsWith(Config::defaultPrompt));
        QVERIFY2(prompt.err.contains("No space left on device"_L1), qPrintable(prompt.err));
        QVERIFY(!QFileInfo::exists(disk + u"/data/config.json"_s));
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
        FakeGeminiServer::Answer never;
        never.hang = true;
        m_server->enqueue(never);
        dictate();
        stopApp(signal);
        QCOMPARE(kept().size(), 1);
        QCOMPARE(TestSupport::unixMode(file(u"recordings/"_s) + kept().first()), 0600);
        // A quit also takes its trimmed copy away.
        if (signal == SIGTERM) {
            QVERIFY(log().contains(u"quit during the transcription"_s));
            QVERIFY(QDir(m_work.path()).entryList({u"vesk-*"_s}, QDir::Files).isEmpty());
        }

        startApp();
        QVERIFY(log().contains(u"1 recording(s) wait for a retry"_s));
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer("Sent again."));
        QVERIFY(command(u"retry"_s));
        QTRY_COMPARE_WITH_TIMEOUT(savedHistory().entries.value(0).text, u"Sent again."_s, 30000);
        QTRY_VERIFY(kept().isEmpty());
        // What was retried is the recording that was cut off.
        QCOMPARE(m_server->requests().size(), 2);
        QCOMPARE(m_server->requests().last().body.size(), m_server->requests().first().body.size());
    }
};

QTEST_GUILESS_MAIN(NothingLostTest)
#include "tst_nothinglost.moc"
