#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "records/History.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
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

    QString file(const QString &name) const { return m_data + QLatin1Char('/') + name; }
    QByteArray bytes(const QString &name) const { return TestSupport::readFile(file(name)); }
    QString log() const { return TestSupport::appLog(m_data); }
    History savedHistory() const { return History::loadFrom(file(QStringLiteral("history.json"))); }
    QStringList kept() const
    {
        return QDir(file(QStringLiteral("recordings")))
            .entryList({QStringLiteral("failed-*.wav")}, QDir::Files);
    }

    void useDataFolder(const QString &folder)
    {
        m_data = folder;
        QVERIFY(QDir().mkpath(folder));
        m_env.insert(QStringLiteral("VESK_DATA_DIR"), folder);
        Config c;
        c.apiKey = QStringLiteral("kept-key");
        c.onboardingDone = true;
        c.sounds = false;
        c.insertMethod = QStringLiteral("type");
        c.hudVisible = false;
        QVERIFY(c.saveTo(file(QStringLiteral("config.json"))));
    }

    void startApp()
    {
        // A restart must not pass on the last run's lines.
        QFile::remove(file(QStringLiteral("vesk.log")));
        m_app.setProcessEnvironment(m_env);
        m_app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_app.start(TestSupport::executable(), {});
        QVERIFY(m_app.waitForStarted());
        QTRY_VERIFY2_WITH_TIMEOUT(log().contains(QStringLiteral("accessibility granted")),
                                  qPrintable(log()), 30000);
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
        QVERIFY(command(QStringLiteral("start")));
        // The log may be on the full disk: the request reaching the server is what tells.
        QTest::qWait(500);
        QVERIFY(TestSupport::playToMicrophone(m_speech, m_env));
        QVERIFY(command(QStringLiteral("stop")));
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requests().size() > before, 30000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        VESK_REQUIRE_DISPLAY();
        VESK_REQUIRE_AUDIO();
        m_server = new FakeGeminiServer(this);
        m_speech = m_work.filePath(QStringLiteral("speech.wav"));
        QVERIFY(TestSupport::speak(m_speech, QStringLiteral("Nothing is lost.")));
        m_env = TestSupport::appEnvironment(m_data, m_server->baseUrl(), m_env);
        m_env.insert(QStringLiteral("TMPDIR"), m_work.path());
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
        const QString disk = m_work.filePath(QStringLiteral("disk"));
        const TestSupport::SmallDisk small(disk, QStringLiteral("1m"));
        if (!small.mounted())
            QSKIP(qPrintable(small.error()));
        useDataFolder(disk + QStringLiteral("/data"));
        History old;
        for (const char *text : {"Birinchi yozuv.", "Второй текст.", "Third one."})
            old.add(HistoryEntry::make(QString::fromUtf8(text), 1, QStringLiteral("m"),
                                       QStringLiteral("mac")));
        QVERIFY(old.saveTo(file(QStringLiteral("history.json"))));
        const QByteArray config = bytes(QStringLiteral("config.json"));
        const QByteArray history = bytes(QStringLiteral("history.json"));
        startApp();

        // Another program takes every block as soon as one is free.
        const QString fill = disk + QStringLiteral("/fill");
        QProcess filler;
        filler.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("while :; do cat /dev/zero >>'%1' 2>/dev/null; sleep 0.02; "
                                     "done")
                          .arg(fill)});
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
        QCOMPARE(bytes(QStringLiteral("config.json")), config);
        QCOMPARE(bytes(QStringLiteral("history.json")), history);
        QStringList names = QDir(m_data).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(QStringLiteral("vesk.log"));
        QCOMPARE(names,
                 (QStringList{QStringLiteral("config.json"), QStringLiteral("history.json")}));

        // Space again: the next transcript saves everything the app holds, and the log, which
        // could not be written meanwhile, tells once what happened.
        free();
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer("Space again."));
        dictate();
        QTRY_COMPARE(savedHistory().entries.size(), 6);
        QCOMPARE(savedHistory().entries.first().text, QStringLiteral("Space again."));
        QCOMPARE(savedHistory().entries.last().text, QStringLiteral("Birinchi yozuv."));
        QTRY_VERIFY(log().contains(QStringLiteral("saved %1 again").arg(file("history.json"))));
        QCOMPARE(log().count(QStringLiteral("could not save %1 (No space left on device)")
                                 .arg(file(QStringLiteral("history.json")))),
                 1);
        QCOMPARE(Config::loadFrom(file(QStringLiteral("config.json"))).apiKey,
                 QStringLiteral("kept-key"));

        // Full again at the quit, free at the next launch: nothing was set aside or emptied.
        filler.start();
        QVERIFY(filler.waitForStarted());
        QTRY_VERIFY(small.full());
        stopApp();
        free();
        startApp();
        QCOMPARE(savedHistory().entries.size(), 6);
        QCOMPARE(Config::loadFrom(file(QStringLiteral("config.json"))).apiKey,
                 QStringLiteral("kept-key"));
        QVERIFY(QDir(m_data).entryList({QStringLiteral("*.unreadable-*")}).isEmpty());
        QVERIFY(!log().contains(QStringLiteral("could not be read")));
    }

    // With no settings yet, a command on a full disk still works and leaves no empty file for the
    // next launch to mistake for the user's.
    void commandLineOnAFullDisk()
    {
        const QString disk = m_work.filePath(QStringLiteral("small"));
        const TestSupport::SmallDisk small(disk, QStringLiteral("64k"));
        if (!small.mounted())
            QSKIP(qPrintable(small.error()));
        QVERIFY(QDir().mkpath(disk + QStringLiteral("/data")));
        small.fill();
        m_env.insert(QStringLiteral("VESK_DATA_DIR"), disk + QStringLiteral("/data"));
        const TestSupport::Run prompt = run(TestSupport::executable(), {QStringLiteral("prompt")});
        QVERIFY(prompt.ok());
        QVERIFY(prompt.out.startsWith(Config::defaultPrompt));
        QVERIFY2(prompt.err.contains(QLatin1String("No space left on device")),
                 qPrintable(prompt.err));
        QVERIFY(!QFileInfo::exists(disk + QStringLiteral("/data/config.json")));
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
        useDataFolder(m_work.filePath(QStringLiteral("quit-%1").arg(signal)));
        startApp();
        FakeGeminiServer::Answer never;
        never.hang = true;
        m_server->enqueue(never);
        dictate();
        stopApp(signal);
        QCOMPARE(kept().size(), 1);
        QCOMPARE(TestSupport::unixMode(file(QStringLiteral("recordings/")) + kept().first()), 0600);
        // A quit also takes its trimmed copy away.
        if (signal == SIGTERM) {
            QVERIFY(log().contains(QStringLiteral("quit during the transcription")));
            QVERIFY(
                QDir(m_work.path()).entryList({QStringLiteral("vesk-*")}, QDir::Files).isEmpty());
        }

        startApp();
        QVERIFY(log().contains(QStringLiteral("1 recording(s) wait for a retry")));
        m_server->enqueue(200, FakeGeminiServer::generateContentAnswer("Sent again."));
        QVERIFY(command(QStringLiteral("retry")));
        QTRY_COMPARE_WITH_TIMEOUT(savedHistory().entries.value(0).text,
                                  QStringLiteral("Sent again."), 30000);
        QTRY_VERIFY(kept().isEmpty());
        // What was retried is the recording that was cut off.
        QCOMPARE(m_server->requests().size(), 2);
        QCOMPARE(m_server->requests().last().body.size(), m_server->requests().first().body.size());
    }
};

QTEST_GUILESS_MAIN(NothingLostTest)
#include "tst_nothinglost.moc"
