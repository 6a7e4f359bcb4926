#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "TestSupport.h"
#include "WaveFiles.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

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

    QString data() const { return m_dir.path() + QStringLiteral("/data"); }
    QString work() const { return m_dir.path() + QStringLiteral("/work"); }

    QProcessEnvironment environment() const
    {
        return TestSupport::appEnvironment(data(), m_server.baseUrl());
    }

    // A FIFO used to hang the reader for good: the bounded wait turns that into a failure.
    Run run(const QStringList &args) { return TestSupport::runApp(args, environment()); }

    void configure(bool trim)
    {
        Config c;
        c.apiKey = QStringLiteral("k");
        c.trimSilence = trim;
        c.keepSilenceSeconds = 0.25;
        c.saveTo(data() + QStringLiteral("/config.json"));
    }

    // 1 s tone, 2 s silence, 1 s tone: trimming has a pause to cut.
    QString pausedRecording()
    {
        const QString file = work() + QStringLiteral("/a.wav");
        std::vector<short> samples(16000 * 4, 0);
        for (int i = 0; i < 16000; ++i)
            samples[size_t(i)] = samples[size_t(48000 + i)] = short((i % 40 < 20) ? 8000 : -8000);
        WaveFiles::writeMono16k(file, samples);
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
    }

    void init()
    {
        QDir(data()).removeRecursively();
        QDir(work()).removeRecursively();
        QVERIFY(QDir().mkpath(work()));
        m_server.clear();
    }

    void filesAreOwnerOnly()
    {
        QVERIFY(QDir().mkpath(data()));
        QFile::setPermissions(data(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                          QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther);
        const QString log = data() + QStringLiteral("/vesk.log");
        writeFile(log, "an older line\n");
        QCOMPARE(TestSupport::unixMode(log), 0644);

        const Run r = run({QStringLiteral("prompt")});
        QCOMPARE(r.code, 0);
        QCOMPARE(TestSupport::unixMode(data()), 0700);
        QCOMPARE(TestSupport::unixMode(data() + QStringLiteral("/config.json")), 0600);
        QCOMPARE(TestSupport::unixMode(log), 0600);
        QVERIFY(readFile(log).contains("made the data folder owner-only (it was 755)"));

        // A log the command line starts itself is owner-only from the first byte.
        QFile::remove(log);
        configure(false);
        writeFile(work() + QStringLiteral("/b.wav"), "RIFF....WAVEfmt ");
        m_server.enqueue(200, FakeGeminiServer::generateContentAnswer(QStringLiteral("hi")));
        QCOMPARE(run({QStringLiteral("transcribe"), work() + QStringLiteral("/b.wav")}).code, 0);
        QCOMPARE(TestSupport::unixMode(log), 0600);
        QVERIFY(readFile(log).contains("transcript: hi"));
    }

    void unreadableSettingsAreSaid_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("trailing comma") << "comma"
                                        << "after a comma at line 1, column 16";
        QTest::newRow("fifo") << "fifo"
                              << "it is not a regular file";
        QTest::newRow("link to /dev/zero") << "zero"
                                           << "it is not a regular file";
        QTest::newRow("too large") << "large"
                                   << "it is larger than 4 MB";
        QTest::newRow("dangling link") << "dangling"
                                       << "a link to a file that does not exist";
    }

    void unreadableSettingsAreSaid()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QVERIFY(QDir().mkpath(data()));
        const QString config = data() + QStringLiteral("/config.json");
        const QString outside = work() + QStringLiteral("/elsewhere.json");
        const QByteArray path = QFile::encodeName(config);
        if (kind == QLatin1String("comma"))
            writeFile(config, R"({"apiKey":"k",})");
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        else if (kind == QLatin1String("zero"))
            QCOMPARE(::symlink("/dev/zero", path.constData()), 0);
        else if (kind == QLatin1String("large"))
            writeFile(config, "{\"apiKey\":\"k\"" + QByteArray(5 * 1024 * 1024, ' ') + "}");
        else
            QCOMPARE(::symlink(QFile::encodeName(outside).constData(), path.constData()), 0);

        const Run r = run({QStringLiteral("models")});
        QCOMPARE(r.code, 1);
        const QStringList lines = r.err.trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.first().startsWith(QStringLiteral("vesk-voice: The settings in ") + config +
                                          QStringLiteral(" could not be read (")),
                 qPrintable(lines.first()));
        QVERIFY2(lines.first().contains(reason), qPrintable(lines.first()));
        QVERIFY(lines.last().startsWith(QLatin1String("No API key")));
        // Nothing was written in its place, nor through it.
        QVERIFY(!QFileInfo::exists(outside));
        QCOMPARE(QDir(data())
                     .entryList({QStringLiteral("config.json*")}, QDir::Files | QDir::System)
                     .size(),
                 1);
        QVERIFY(readFile(data() + QStringLiteral("/vesk.log")).contains("could not be read"));
    }

    void aFifoIsNoRecording()
    {
        configure(true);
        const QString fifo = work() + QStringLiteral("/a.wav");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString &command : {QStringLiteral("transcribe"), QStringLiteral("trim")}) {
            const Run r = run({command, fifo});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(QLatin1String("not a regular file")), qPrintable(r.err));
        }
        QVERIFY(m_server.requests().isEmpty());
    }

    // A file named like the trimmed copy is the user's: neither transcribe nor trim replace it.
    void trimmedCopyNeverReplacesAUserFile()
    {
        configure(true);
        const QString recording = pausedRecording();
        const QString mine = work() + QStringLiteral("/a.trimmed.wav");
        writeFile(mine, "my own file");

        m_server.enqueue(200, FakeGeminiServer::generateContentAnswer(QStringLiteral("ok")));
        const Run r = run({QStringLiteral("transcribe"), recording});
        QCOMPARE(r.code, 0);
        const QJsonObject body = QJsonDocument::fromJson(m_server.requests().first().body).object();
        const QByteArray sent =
            QByteArray::fromBase64(body[QStringLiteral("contents")][0][QStringLiteral("parts")][1]
                                       [QStringLiteral("inline_data")][QStringLiteral("data")]
                                           .toString()
                                           .toLatin1());
        QCOMPARE(sent.size(), 44 + 36000 * 2); // the pause was cut
        QCOMPARE(readFile(mine), QByteArray("my own file"));
        QCOMPARE(workFiles(), (QStringList{"a.trimmed.wav", "a.wav"}));

        for (const QString &expected :
             {QStringLiteral("a.trimmed-2.wav"), QStringLiteral("a.trimmed-3.wav")}) {
            const Run t = run({QStringLiteral("trim"), recording});
            QCOMPARE(t.code, 0);
            QCOMPARE(t.out.trimmed(), work() + QLatin1Char('/') + expected);
            QCOMPARE(QFileInfo(work() + QLatin1Char('/') + expected).size(), 44 + 36000 * 2);
        }
        QCOMPARE(readFile(mine), QByteArray("my own file"));
    }

    void interruptedTranscribeLeavesNothing_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void interruptedTranscribeLeavesNothing()
    {
        QFETCH(int, signal);
        configure(true);
        const QString recording = pausedRecording();
        m_server.setFallback({200, {}, true});
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(TestSupport::executable(), {QStringLiteral("transcribe"), recording});
        // The request is out: the trimmed copy exists and the command waits on the network.
        QVERIFY(m_server.waitForRequests(1, 30000));
        QCOMPARE(workFiles().size(), 2);
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QCOMPARE(workFiles(), QStringList{"a.wav"});
        m_server.setFallback({404, {}, false});
    }
};

QTEST_GUILESS_MAIN(CliFilesTest)
#include "tst_cli_files.moc"
