#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "TestSupport.h"
#include "WaveFiles.h"

#include <QtTest>

#include <csignal>
#include <unistd.h>
#include <sys/stat.h>

using TestSupport::readFile;
using TestSupport::writeFile;

// The command line with the files a user may have lying around: what it creates is owner-only,
// what it cannot read it says so, and what it did not make it never replaces or deletes.
class CliFilesTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeGeminiServer m_server;

    using Run = TestSupport::Run;

    QString data() const { return m_dir.path() + u"/data"_s; }
    QString work() const { return m_dir.path() + u"/work"_s; }

    // A FIFO used to hang the reader for good: the bounded wait turns that into a failure.
    Run run(const QStringList &args)
    {
        return TestSupport::runApp(args, TestSupport::appEnvironment(data(), m_server.baseUrl()));
    }

    // Pauses are cut, as by default.
    void configure()
    {
        Config c;
        c.apiKey = u"k"_s;
        c.keepSilenceSeconds = 0.25;
        c.saveTo(data() + u"/config.json"_s);
    }

    // 1 s of sound, 2 s of silence, 1 s of sound: trimming has a pause to cut.
    QString pausedRecording()
    {
        const QString file = work() + u"/a.wav"_s;
        WaveFiles::writeMono16k(file,
                                WaveFiles::noise({{16000, 8000}, {32000, 0}, {16000, 8000}}, 1));
        return file;
    }

    QStringList workFiles() const
    {
        return QDir(work()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // What a user's session has: the mode bits come from us, not from a strict umask.
        ::umask(022);
        TestSupport::isolateDataDir(); // for what the test itself logs
    }

    void init()
    {
        QDir(data()).removeRecursively();
        QDir(work()).removeRecursively();
        QVERIFY(QDir().mkpath(work()) && QDir().mkpath(data()));
        m_server.clear();
    }

    void filesAreOwnerOnly()
    {
        // Made under umask 022: open to others, as an older version left it. That the app says so
        // in its log is tst_launch's nothingIsLeftOpenToOthers.
        const QString log = data() + u"/vesk.log"_s;
        writeFile(log, "an older line\n");
        QCOMPARE(TestSupport::unixMode(log), 0644);

        QCOMPARE(run({u"prompt"_s}).code, 0);
        // The settings it writes are tst_config's defaultsWhenNoFile.
        QCOMPARE(TestSupport::unixMode(data()), 0700);
        // The older log is made owner-only; a new one ends the same way, whatever it is made with.
        QCOMPARE(TestSupport::unixMode(log), 0600);
    }

    void unreadableSettingsAreSaid_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("trailing comma") << u"comma"_s << u"after a comma at line 1, column 16"_s;
        QTest::newRow("fifo") << u"fifo"_s << u"it is not a regular file"_s;
        QTest::newRow("link to /dev/zero") << u"zero"_s << u"it is not a regular file"_s;
        QTest::newRow("too large") << u"large"_s << u"it is larger than 4 MB"_s;
        QTest::newRow("dangling link")
            << u"dangling"_s << u"a link to a file that does not exist"_s;
    }

    // The command line says why it cannot read the settings, and writes nothing in their place;
    // the app's next save sets them aside (a link itself, not what it leads to), once, and never
    // writes through them.
    void unreadableSettingsAreSaid()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString config = data() + u"/config.json"_s;
        const QString outside = work() + u"/elsewhere.json"_s;
        const QByteArray path = QFile::encodeName(config);
        if (kind == "comma"_L1)
            writeFile(config, R"({"apiKey":"k",})");
        else if (kind == "fifo"_L1)
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        else if (kind == "zero"_L1)
            QCOMPARE(::symlink("/dev/zero", path.constData()), 0);
        else if (kind == "large"_L1)
            writeFile(config, "{\"apiKey\":\"k\"" + QByteArray(5 * 1024 * 1024, ' ') + "}");
        else
            QCOMPARE(::symlink(QFile::encodeName(outside).constData(), path.constData()), 0);

        const Run r = run({u"models"_s});
        QCOMPARE(r.code, 1);
        const QStringList lines = r.err.trimmed().split(u'\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.first().startsWith(u"vesk-voice: The settings in "_s + config +
                                          u" could not be read ("_s),
                 qPrintable(lines.first()));
        QVERIFY2(lines.first().contains(reason), qPrintable(lines.first()));
        QVERIFY(lines.last().startsWith("No API key"_L1));
        // Nothing was written in its place, nor through it.
        QVERIFY(!QFileInfo::exists(outside));
        QCOMPARE(QDir(data()).entryList({u"config.json*"_s}, QDir::Files | QDir::System).size(), 1);
        QVERIFY(readFile(data() + u"/vesk.log"_s).contains("could not be read"));
        // A save is never tried through a link to a device: a fault that writes through links
        // would replace the device itself when the tests run as root.
        if (kind == "zero"_L1)
            return;

        const Config loaded = Config::loadFrom(config);
        QCOMPARE(loaded, Config());
        for (int save = 0; save < 2; ++save)
            loaded.saveTo(config);
        const QStringList aside =
            QDir(data()).entryList({u"config.json.unreadable-*"_s}, QDir::Files | QDir::System);
        // What the copy holds is tst_state's brokenAndEmptyFiles.
        QCOMPARE(aside.size(), 1);
        QVERIFY(!QFileInfo::exists(outside));
        QVERIFY(Config::decode(readFile(config)).has_value());
    }

    void aFifoIsNoRecording()
    {
        configure();
        const QString fifo = work() + u"/a.wav"_s;
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString &command : {u"transcribe"_s, u"trim"_s}) {
            const Run r = run({command, fifo});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("not a regular file"_L1), qPrintable(r.err));
        }
        QVERIFY(m_server.requests().isEmpty());
    }

    // A file named like the trimmed copy is the user's: neither transcribe nor trim replace it.
    void trimmedCopyNeverReplacesAUserFile()
    {
        configure();
        const QString recording = pausedRecording();
        const QString mine = work() + u"/a.trimmed.wav"_s;
        writeFile(mine, "my own file");

        m_server.enqueue(200, FakeGeminiServer::generateContentAnswer(u"ok"_s));
        QCOMPARE(run({u"transcribe"_s, recording}).code, 0);
        QCOMPARE(workFiles(), (QStringList{"a.trimmed.wav", "a.wav"}));

        for (const QString &expected : {u"a.trimmed-2.wav"_s, u"a.trimmed-3.wav"_s}) {
            const Run t = run({u"trim"_s, recording});
            QCOMPARE(t.code, 0);
            QCOMPARE(t.out.trimmed(), work() + u'/' + expected);
            QCOMPARE(QFileInfo(work() + u'/' + expected).size(), 44 + 36000 * 2); // the pause cut
        }
        // Transcribe sent what trim makes, not the user's file.
        QVERIFY(m_server.requests().first().body.contains(
            readFile(work() + u"/a.trimmed-2.wav"_s).toBase64()));
        QCOMPARE(readFile(mine), "my own file"_ba);
    }

    // Ctrl+C leaves no trimmed copy behind; that the other signals are handled as it is is
    // tst_cli_transcription's transcribeDeletesWhatItUploaded.
    void interruptedTranscribeLeavesNothing()
    {
        configure();
        const QString recording = pausedRecording();
        m_server.setFallback({200, {}, true});
        QProcess p;
        p.setProcessEnvironment(TestSupport::appEnvironment(data(), m_server.baseUrl()));
        p.start(TestSupport::executable(), {u"transcribe"_s, recording});
        // The request is out: the trimmed copy exists and the command waits on the network.
        QVERIFY(m_server.waitForRequests(1, 30000));
        QCOMPARE(workFiles().size(), 2);
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QCOMPARE(workFiles(), QStringList{"a.wav"});
        m_server.setFallback({404, {}, false});
    }
};

QTEST_GUILESS_MAIN(CliFilesTest)
#include "tst_cli_files.moc"
