#include "records/Config.h"
#include "app/control/ControlChannel.h"
#include "TestSupport.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>
#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Launches of the real executable: the older data folder is taken over before any command, one
// app runs per data folder, and commands reach it over its socket.
class LaunchTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_data;
    std::unique_ptr<QProcess> m_app;

    using Result = TestSupport::Run;

    static Result run(const QStringList &args, const QProcessEnvironment &env)
    {
        return TestSupport::runApp(args, env, 60000);
    }
    Result command(const QString &name) { return run({name}, TestSupport::appEnvironment(m_data)); }
    QString log() const { return TestSupport::appLog(m_data); }

    static void writeConfig(const QString &dataFolder, bool launchAtLogin = false)
    {
        QDir().mkpath(dataFolder);
        Config c;
        c.apiKey = u"launch-key"_s;
        c.onboardingDone = true;
        c.sounds = false;
        c.launchAtLogin = launchAtLogin;
        // A microphone picked once and away now: the menu names it without asking the audio
        // system until it is opened.
        c.inputDeviceID = u"picked-microphone"_s;
        c.inputDeviceName = u"USB Yeti"_s;
        // Recordings here are dropped as too short: nothing is sent.
        c.minRecordingMs = 600000;
        c.saveTo(dataFolder + u"/config.json"_s);
    }

    static std::unique_ptr<QProcess> launch(const QProcessEnvironment &env, bool umaskZero = false)
    {
        auto app = std::make_unique<QProcess>();
        app->setProcessEnvironment(env);
        app->setProcessChannelMode(QProcess::ForwardedChannels);
        if (umaskZero)
            app->setChildProcessModifier([] { ::umask(0); });
        app->start(TestSupport::executable(), {});
        return app;
    }

    // Up, and listening on its socket (where it usually is, or at `socket`), which only this
    // user reaches.
    static bool ready(const QString &dataFolder, QString socket = QString())
    {
        if (socket.isEmpty())
            socket = ControlChannel::socketPath(dataFolder);
        return QFileInfo::exists(socket) &&
               TestSupport::appLog(dataFolder).contains(u"accessibility granted="_s) &&
               TestSupport::unixMode(QFileInfo(socket).path()) == 0700 &&
               (TestSupport::unixMode(socket) & 077) == 0;
    }

    static int runTool(const QString &program, const QStringList &args)
    {
        return TestSupport::run(program, args, QProcessEnvironment::systemEnvironment()).code;
    }

    static QString xdotool(const QStringList &args)
    {
        return TestSupport::run(u"xdotool"_s, args, QProcessEnvironment::systemEnvironment(), 10000)
            .out.trimmed();
    }

    // The app's main window when it is mapped (the tray icon shares its name, not its size).
    QString mainWindow() const
    {
        const QString found =
            xdotool({u"search"_s, u"--onlyvisible"_s, u"--pid"_s,
                     QString::number(m_app->processId()), u"--name"_s, u"^Vesk Voice$"_s});
        for (const QString &id : found.split(u'\n', Qt::SkipEmptyParts)) {
            const QString shape = xdotool({u"getwindowgeometry"_s, u"--shell"_s, id});
            const qsizetype at = shape.indexOf(u"WIDTH="_s);
            if (at >= 0 && shape.mid(at + 6).section(u'\n', 0, 0).toInt() >= 200)
                return id;
        }
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_data = m_tmp.filePath(u"data"_s);
    }

    void cleanupTestCase()
    {
        if (m_app)
            TestSupport::stop(*m_app);
    }

    // The cases between the first launch and the crash talk to the app it started.
    void init()
    {
        static const QByteArrayList needApp{"commandsActAsTheFloatingButton", "requestsAreBounded",
                                            "commandsGetThroughIdleConnections",
                                            "simultaneousLaunchesLeaveOneApp",
                                            "crashedAppIsReplaced"};
        if (needApp.contains(QTest::currentTestFunction()) &&
            (!m_app || m_app->state() != QProcess::Running))
            QSKIP("needs the app of the first launch");
    }

    // A command run before the app's first start takes over the older folder, as the app would.
    void olderFolderIsMigratedBeforeAnyCommand()
    {
        const QString home = m_tmp.filePath(u"home"_s);
        const QString legacy = home + u"/.config/vesk"_s;
        QVERIFY(QDir().mkpath(legacy));
        Config old;
        old.apiKey = u"legacy-key"_s;
        old.customVocabulary = {u"Zarafshon"_s};
        old.saveTo(legacy + u"/config.json"_s);
        const QByteArray history = R"({"entries":[]})";
        TestSupport::writeFile(legacy + u"/history.json"_s, history);

        QProcessEnvironment env = TestSupport::appEnvironment(QString());
        for (const char *name : {"VESK_DATA_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            env.remove(QString::fromLatin1(name));
        env.insert(u"HOME"_s, home);
        const Result r = run({u"prompt"_s}, env);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(u"Zarafshon"_s), qPrintable(r.out));

        const QString data = home + u"/.local/share/Vesk Voice"_s;
        QCOMPARE(Config::loadFrom(data + u"/config.json"_s).apiKey, u"legacy-key"_s);
        QCOMPARE(TestSupport::readFile(data + u"/history.json"_s), history);
    }

    // An executable without one of its modules (a broken installation) says which is missing, at
    // launch and for a command that needs it, instead of failing at the first dictation. The
    // commands to the running app need neither, so a desktop shortcut waits for nothing to load:
    // without an app each says so in one line.
    void aMissingModuleIsToldAtOnce_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QStringList>("command");
        QTest::newRow("parts") << u"vesk-voice-parts.so"_s << QStringList{u"prompt"_s};
        QTest::newRow("desktop backends")
            << u"vesk-voice-desktop.so"_s << QStringList{u"type"_s, u"x"_s};
    }
    void aMissingModuleIsToldAtOnce()
    {
        QFETCH(QString, missing);
        QFETCH(QStringList, command);
        // A copy of the executable with the other module beside it.
        const QString folder = m_tmp.filePath(u"without-"_s + missing);
        const QString alone = folder + u"/vesk-voice"_s;
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(TestSupport::executable(), alone));
        const QString built = QFileInfo(TestSupport::executable()).path();
        for (const QString &module : {u"vesk-voice-parts.so"_s, u"vesk-voice-desktop.so"_s}) {
            if (module != missing)
                QVERIFY(QFile::link(built + u'/' + module, folder + u'/' + module));
        }
        const QProcessEnvironment env = TestSupport::appEnvironment(m_tmp.filePath(u"nobody"_s));
        for (const QStringList &args : {QStringList(), command}) {
            const Result r = TestSupport::run(alone, args, env);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(u"installation is incomplete"_s) &&
                         r.err.contains(missing + u" is missing"_s),
                     qPrintable(r.err));
        }
        for (const char *name : {"toggle", "start", "stop", "cancel", "show", "retry"}) {
            const Result r = TestSupport::run(alone, {QString::fromLatin1(name)}, env);
            QCOMPARE(r.code, 1);
            QVERIFY(r.out.isEmpty());
            QVERIFY2(r.err.endsWith(u'\n') && r.err.count(u'\n') == 1 &&
                         r.err.contains(u"not running"_s),
                     qPrintable(r.err));
        }
    }

    void secondLaunchBringsTheFirstForward()
    {
        VESK_REQUIRE_DISPLAY();
        VESK_REQUIRE_AUDIO();
        writeConfig(m_data);
        m_app = launch(TestSupport::appEnvironment(m_data));
        QTRY_VERIFY2_WITH_TIMEOUT(ready(m_data), qPrintable(log()), 60000);

        // With an API key and the guide done, no window opens at launch, and the idle app maps
        // nothing that only a dictation, a window or a command needs.
        QVERIFY(mainWindow().isEmpty());
        const QString maps = u"/proc/%1/maps"_s.arg(m_app->processId()); // the files it maps
        for (const char *library :
             {"vesk-voice-parts.so", "libQt6Multimedia", "libQt6Network", "libsndfile", "libpulse"})
            QVERIFY2(!TestSupport::readFile(maps).contains(library), library);
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(run({}, TestSupport::appEnvironment(m_data)).code, 0);
            QTRY_VERIFY_WITH_TIMEOUT(!mainWindow().isEmpty(), 20000);
            QTRY_COMPARE_WITH_TIMEOUT(xdotool({u"getactivewindow"_s}), mainWindow(), 10000);
            // Minimised, it comes back the same way.
            xdotool({u"windowminimize"_s, u"--sync"_s, mainWindow()});
            QTRY_VERIFY_WITH_TIMEOUT(mainWindow().isEmpty(), 10000);
        }
        // The hold key came from the desktop backends' module, loaded after the tray icon: the
        // executable itself needs none of the libraries they speak through.
        QVERIFY(TestSupport::readFile(maps).contains("vesk-voice-desktop.so"));
        const Result needed = TestSupport::run(u"readelf"_s, {u"-d"_s, TestSupport::executable()},
                                               QProcessEnvironment::systemEnvironment());
        QVERIFY2(needed.code == 0 && needed.out.contains(u"libQt6Gui"_s), qPrintable(needed.err));
        for (const char *library : {"libXi.", "libXtst.", "libwayland-client.", "libevdev."})
            QVERIFY2(!needed.out.contains(QLatin1String(library)), library);
        // The window came with the parts it is built on.
        QVERIFY(TestSupport::readFile(maps).contains("vesk-voice-parts.so"));
        // The second launches left the first's log alone: none of them started an app.
        QCOMPARE(log().count(u"launched, bundle="_s), 1);
    }

    // Started with umask 000 on a data folder others could enter: the folder is made owner-only
    // (and the log says so, after the launch emptied it), and nothing the app makes is
    // writable by others.
    void nothingIsLeftOpenToOthers()
    {
        VESK_REQUIRE_DISPLAY();
        const QString data = m_tmp.filePath(u"open"_s);
        const QString configHome = m_tmp.filePath(u"config-home"_s);
        writeConfig(data, true);
        QCOMPARE(::chmod(QFile::encodeName(data).constData(), 0755), 0);
        QProcessEnvironment env = TestSupport::appEnvironment(data);
        env.insert(u"XDG_CONFIG_HOME"_s, configHome);
        const auto app = launch(env, true);
        const auto stopping = qScopeGuard([&] { TestSupport::stop(*app); });
        QTRY_VERIFY2_WITH_TIMEOUT(ready(data), qPrintable(TestSupport::appLog(data)), 60000);
        QTRY_VERIFY(QFileInfo::exists(configHome + u"/autostart/vesk-voice.desktop"_s));
        // That it is made so is tst_cli_files' filesAreOwnerOnly; here, that the line outlives
        // the launch's new log.
        QVERIFY2(TestSupport::appLog(data).contains(u"made the data folder owner-only (it was "
                                                    "755)"_s),
                 qPrintable(TestSupport::appLog(data)));
        QCOMPARE(TestSupport::unixMode(configHome + u"/autostart"_s) & 022, 0);
        QCOMPARE(TestSupport::unixMode(configHome + u"/autostart/vesk-voice.desktop"_s), 0644);
        QCOMPARE(TestSupport::unixMode(configHome) & 022, 0);
    }

    void commandsActAsTheFloatingButton()
    {
        const struct
        {
            const char *command, *logLine;
            int count; // of the log line, once the command is done
        } steps[] = {
            {"start", "recording started (mac)", 1},
            {"start", "recording started (mac)", 1}, // already recording
            {"cancel", "recording cancelled", 1},
            {"stop", "recorded ", 0}, // nothing to finish
            {"toggle", "recording started (mac)", 2},
            {"toggle", "recorded ", 1},
            {"toggle", "recording started (mac)", 3},
            {"stop", "recorded ", 2},
        };
        for (const auto &step : steps) {
            const Result r = command(QString::fromLatin1(step.command));
            QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.err));
            QTRY_COMPARE_WITH_TIMEOUT(log().count(QLatin1String(step.logLine)), step.count, 10000);
            // A dictation that was started records a moment before it is finished.
            QTest::qWait(300);
        }
    }

    // The socket answers every request with one line, and refuses what it does not know.
    void requestsAreBounded_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("unknown") << "vesk-voice 1 dance\n"_ba
                                 << "error unknown command 'dance'\n"_ba;
        QTest::newRow("newer version") << "vesk-voice 7 stop --later-option\n"_ba
                                       << "ok\n"_ba;
        QTest::newRow("foreign") << "GET / HTTP/1.0\n"_ba
                                 << "error not a request\n"_ba;
        QTest::newRow("endless") << QByteArray(100000, 'x') << "error request too long\n"_ba;
        QTest::newRow("silent") << QByteArray() << QByteArray();
    }

    void requestsAreBounded()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QLocalSocket socket;
        socket.connectToServer(ControlChannel::socketPath(m_data));
        QVERIFY(socket.waitForConnected(5000));
        socket.write(request);
        QByteArray answer;
        // A silent client is let go after the time-out.
        QTRY_VERIFY_WITH_TIMEOUT(
            (answer += socket.readAll(), socket.state() == QLocalSocket::UnconnectedState),
            ControlChannel::timeoutMs + 5000);
        answer += socket.readAll();
        QCOMPARE(answer, reply);
    }

    // Idle connections (a client stuck before its request) hold up no command: each waits for
    // its own request only, and past the number kept open the oldest goes.
    void commandsGetThroughIdleConnections_data()
    {
        QTest::addColumn<int>("idle");
        // The app takes no connection while the idle ones are made, and for a while after.
        QTest::addColumn<bool>("busy");
        QTest::newRow("eight") << 8 << false;
        QTest::newRow("more than are kept") << ControlServer::maxClients + 6 << false;
        // As many as its queue holds (the listen backlog and one): the command waits for a
        // place instead of failing.
        QTest::newRow("queue full") << ControlServer::maxClients + 1 << true;
    }

    void commandsGetThroughIdleConnections()
    {
        QFETCH(int, idle);
        QFETCH(bool, busy);
        const pid_t pid = pid_t(m_app->processId());
        if (busy)
            ::kill(pid, SIGSTOP);
        const auto goOn = qScopeGuard([&] { ::kill(pid, SIGCONT); });
        const QString socket = ControlChannel::socketPath(m_data);
        std::vector<QLocalSocket> held(idle);
        for (QLocalSocket &each : held) {
            each.connectToServer(socket);
            QVERIFY(each.waitForConnected(5000));
        }
        if (busy)
            QProcess::startDetached(u"sh"_s, {u"-c"_s, u"sleep 0.3; kill -CONT %1"_s.arg(pid)});
        // Sent at once, well inside the idle ones' time-out.
        const ControlChannel::Reply reply = ControlChannel::send(socket, u"stop"_s);
        QVERIFY2(reply.status == ControlChannel::Reply::Status::answered,
                 qPrintable(reply.message));
    }

    // Two launches at once on another data folder: one app runs, the other launch hands over;
    // the first data folder's app keeps running beside them.
    void simultaneousLaunchesLeaveOneApp()
    {
        const QString other = m_tmp.filePath(u"other"_s);
        writeConfig(other);
        const QProcessEnvironment env = TestSupport::appEnvironment(other);
        auto a = launch(env), b = launch(env);
        QVERIFY(a->waitForStarted() && b->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            a->state() == QProcess::NotRunning || b->state() == QProcess::NotRunning, 60000);
        QProcess *gone = a->state() == QProcess::NotRunning ? a.get() : b.get();
        QProcess *kept = gone == a.get() ? b.get() : a.get();
        QCOMPARE(gone->exitStatus(), QProcess::NormalExit);
        QCOMPARE(gone->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(ready(other), 60000);
        QCOMPARE(run({u"stop"_s}, env).code, 0);
        TestSupport::stop(*kept);
        QCOMPARE(m_app->state(), QProcess::Running);
    }

    // A crashed app leaves its socket file behind; the next launch replaces it.
    void crashedAppIsReplaced()
    {
        m_app->kill();
        QVERIFY(m_app->waitForFinished(10000));
        const QString socket = ControlChannel::socketPath(m_data);
        QVERIFY(QFileInfo::exists(socket));
        QCOMPARE(command(u"show"_s).code, 1);

        QFile::remove(m_data + u"/vesk.log"_s);
        m_app = launch(TestSupport::appEnvironment(m_data));
        QTRY_VERIFY2_WITH_TIMEOUT(ready(m_data), qPrintable(log()), 60000);
        // What "show" does (a second launch sends it too) is secondLaunchBringsTheFirstForward's.
        QCOMPARE(command(u"show"_s).code, 0);
        // A quitting app lets go of its socket at once.
        TestSupport::stop(*m_app);
        QVERIFY(!QFileInfo::exists(socket));
    }

    // A copy that holds the data folder but never answers (hung, or stuck quitting) is not
    // waited on for ever, and never gets a second app beside it.
    void silentHolderIsNotWaitedOnForEver_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("no socket") << false;
        QTest::newRow("socket that never answers") << true;
    }

    void silentHolderIsNotWaitedOnForEver()
    {
        QFETCH(bool, listening);
        const QString data = m_tmp.filePath(u"held"_s);
        const QString socket = ControlChannel::socketPath(data);
        QVERIFY(!ControlChannel::prepareFolder(QFileInfo(socket).path(), true));
        InstanceLock holder(socket + u".lock"_s);
        QVERIFY(holder.tryLock());
        // Listening, but its event loop never runs: connections wait in the backlog.
        QLocalServer server;
        if (listening)
            QVERIFY(server.listen(socket));
        const LaunchClaim claim = claimInstance(data, 500);
        QCOMPARE(claim.outcome, LaunchClaim::Outcome::failed);
        QVERIFY2(claim.error.contains(u"does not answer"_s), qPrintable(claim.error));
        QVERIFY(!claim.lock);
    }

    // Without a runtime folder the socket lives inside the data folder, where nobody else can
    // make anything: another local user who takes the temporary folder's name for it first (a
    // folder, a link to a folder, a plain file) breaks neither the one running app nor its
    // commands, and neither does a data folder deeper than a socket address holds.
    void withoutRuntimeFolderNobodyElseTakesTheSocket_data()
    {
        QTest::addColumn<QStringList>("make"); // what the other user runs on the name
        QTest::addColumn<bool>("deep");
        QTest::newRow("a folder") << QStringList{u"mkdir"_s} << false;
        QTest::newRow("a link to a folder") << QStringList{u"ln"_s, u"-s"_s, u"/"_s} << false;
        QTest::newRow("a plain file, deep data folder") << QStringList{u"touch"_s} << true;
    }

    void withoutRuntimeFolderNobodyElseTakesTheSocket()
    {
        QFETCH(QStringList, make);
        QFETCH(bool, deep);
        VESK_REQUIRE_DISPLAY();
        VESK_REQUIRE_AUDIO();
        // A second local user, made once where this runs as root.
        if (::geteuid() != 0)
            QSKIP("acting as a second local user needs root");
        const QString other = u"vesk-test-other"_s;
        if (runTool(u"id"_s, {u"-u"_s, other}) != 0 &&
            runTool(u"useradd"_s, {u"--system"_s, u"--no-create-home"_s, u"--shell"_s,
                                   u"/usr/sbin/nologin"_s, other}) != 0)
            QSKIP("useradd could not make a second local user");

        // A shared temporary folder, sticky and open to all, as /tmp is.
        QTemporaryDir shared;
        QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
        const QString taken = shared.filePath(u"vesk-voice-%1"_s.arg(::getuid()));
        QCOMPARE(runTool(u"runuser"_s, QStringList{u"-u"_s, other, u"--"_s} + make << taken), 0);

        QString data = m_tmp.filePath(u"noruntime-"_s + make.first());
        if (deep)
            data += u'/' + QString(120, u'd');
        writeConfig(data);
        const QString socket = QDir(data).canonicalPath() + u"/run/control"_s;
        QProcessEnvironment env = TestSupport::appEnvironment(data);
        env.remove(u"XDG_RUNTIME_DIR"_s);
        env.insert(u"TMPDIR"_s, shared.path());

        auto app = launch(env);
        const auto stopApp = qScopeGuard([&] { TestSupport::stop(*app); });
        QTRY_VERIFY2_WITH_TIMEOUT(ready(data, socket), qPrintable(TestSupport::appLog(data)),
                                  60000);
        // A second launch hands over and leaves; the commands reach the app.
        QCOMPARE(run({}, env).code, 0);
        QCOMPARE(TestSupport::appLog(data).count(u"launched, bundle="_s), 1);
        const Result stopped = run({u"stop"_s}, env);
        QVERIFY2(stopped.code == 0 && stopped.err.isEmpty(), qPrintable(stopped.err));
        // What the other user made is left as it was, and never written through.
        QVERIFY(QFileInfo(taken).isSymLink() == (make.first() == "ln"_L1));
    }

    // The socket folder is this user's alone, whatever was there before.
    void socketFolderIsOwnerOnly()
    {
        const QString folder = m_tmp.filePath(u"sockets"_s);
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0705), 0);
        QVERIFY(!ControlChannel::prepareFolder(folder, true));
        QCOMPARE(TestSupport::unixMode(folder), 0700);
        const QString link = m_tmp.filePath(u"link"_s);
        QVERIFY(QFile::link(folder, link));
        QVERIFY(ControlChannel::prepareFolder(link, true));
    }
};

QTEST_GUILESS_MAIN(LaunchTest)
#include "tst_launch.moc"
