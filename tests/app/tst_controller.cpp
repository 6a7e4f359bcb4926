#include "app/controller/AppDelegate.h"
#include "ControllerFakes.h"
#include "records/Log.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QtTest>

using Phase = AppState::Phase;

class ControllerTest : public QObject
{
    Q_OBJECT

    struct Rig
    {
        AppState state{Config(), History()};
        FakeRecorder *recorder = new FakeRecorder;
        FakeHotkey *hotkey = new FakeHotkey;
        FakeInserter *inserter = new FakeInserter;
        FakeTranscriber *transcriber = new FakeTranscriber;
        FakeFocus *focus = new FakeFocus;
        qint64 nowMs = 0;
        QStringList sounds;
        QStringList trimmedFiles;
        std::optional<QString> trimResult;
        std::unique_ptr<AppDelegate> controller;

        explicit Rig(const std::function<void(Config &)> &change = [](Config &) {})
        {
            Config c = state.config();
            change(c);
            state.setConfig(c);
            AppDelegate::Services s;
            s.recorder.reset(recorder);
            s.hotkey.reset(hotkey);
            s.inserter.reset(inserter);
            s.transcriber.reset(transcriber);
            s.focus.reset(focus);
            s.nowMs = [this] { return nowMs; };
            s.trim = [this](const QString &file, double) {
                trimmedFiles.append(file);
                return trimResult;
            };
            s.play = [this](const QString &name) { sounds.append(name); };
            controller = std::make_unique<AppDelegate>(&state, std::move(s));
        }
    };

    QTemporaryDir m_files;

    QString makeFile(const QString &name)
    {
        const QString path = m_files.filePath(name);
        TestSupport::writeFile(path, QByteArray(100, 'x'));
        return path;
    }

    // Runs a dictation up to the moment the recording goes to transcription.
    QString recordAndFinish(Rig &rig, double duration, const QString &name = u"vesk-a.wav"_s)
    {
        const QString file = makeFile(name);
        rig.controller->startRecording(u"mac"_s);
        rig.controller->finishRecording();
        rig.recorder->deliver(Recording{file, duration});
        QCoreApplication::processEvents();
        return file;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }
    void init()
    {
        Log::reset();
        QDir(FailedRecordings().folder()).removeRecursively();
        QFile::remove(History::fileURL());
    }

    void startLevelsAndCancel()
    {
        Rig rig([](Config &c) {
            c.inputDeviceID = u"usb"_s;
            c.keepAudio = true;
        });
        rig.recorder->level = -25;
        const QString file = makeFile(u"vesk-cancel.wav"_s);
        rig.controller->startRecording(u"mac"_s);
        QCOMPARE(rig.state.phase(), Phase::recording);
        QCOMPARE(rig.recorder->startedWith, QStringList{u"usb"_s});
        QVERIFY(rig.hotkey->external);
        QTRY_COMPARE(rig.state.level(), 0.5);
        // In English, and saying what a microphone that is away stands for.
        QCOMPARE(logMessages(),
                 QStringList{u"recording started (mac) on usb (not connected: the system "
                             "default)"_s});
        // A second start while recording restarts the sound and the log line only.
        rig.controller->startRecording(u"mac"_s);
        QCOMPARE(rig.state.phase(), Phase::recording);

        // The capture feeds the request while the user speaks; its words show meanwhile.
        rig.recorder->audio(QByteArray(640, '\x01'));
        QCOMPARE(rig.transcriber->fed, QList<QByteArray>{QByteArray(640, '\x01')});
        rig.transcriber->interim(u"Salom"_s);
        QCOMPARE(rig.state.interimText(), u"Salom"_s);
        rig.controller->cancelRecording();
        // The request side hears of it: a live session sends nothing more.
        QCOMPARE(rig.transcriber->cancels, 1);
        QVERIFY(rig.state.interimText().isEmpty());
        QCOMPARE(rig.state.phase(), Phase::idle);
        QCOMPARE(rig.state.level(), 0.0);
        QVERIFY(!rig.hotkey->external);
        QCOMPARE(rig.sounds.join(u' '), u"Tink Tink Funk"_s);
        // Deleted even when keeping audio: a cancelled recording was not meant to be kept.
        rig.recorder->deliver(Recording{file, 2});
        QTRY_VERIFY(!QFile::exists(file));
        QVERIFY(logMessages().contains(u"recording cancelled"_s));
        // Cancel outside recording does nothing.
        rig.controller->cancelRecording();
        QCOMPARE(rig.sounds.size(), 3);
    }

    void refusedStart()
    {
        Rig rig;
        rig.recorder->failure = u"The chosen microphone is not available."_s;
        rig.controller->startRecording(u"mac"_s);
        QCOMPARE(rig.state.phase(), Phase::failed);
        QCOMPARE(rig.state.message(), *rig.recorder->failure);
        QVERIFY(rig.sounds.isEmpty());
        QVERIFY(logMessages().isEmpty());
    }

    void startFailingInTheBackground()
    {
        Rig rig;
        rig.controller->startRecording(u"mac"_s);
        QCOMPARE(rig.state.phase(), Phase::recording);
        rig.recorder->lateFailure(u"Could not start the microphone. busy"_s);
        QCOMPARE(rig.state.phase(), Phase::failed);
        QCOMPARE(rig.state.message(), u"Could not start the microphone. busy"_s);
        QVERIFY(!rig.hotkey->external);
        QCOMPARE(rig.state.level(), 0.0);

        // Too late to matter once the dictation moved on.
        rig.controller->toggleRecording();
        rig.controller->finishRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        rig.recorder->lateFailure(u"stale"_s);
        QCOMPARE(rig.state.phase(), Phase::working);
    }

    void levelFormula()
    {
        QCOMPARE(AppDelegate::levelFor(-60), 0.0);
        QCOMPARE(AppDelegate::levelFor(-10), 0.8);
        QCOMPARE(AppDelegate::levelFor(0), 1.0);
        QCOMPARE(AppDelegate::levelFor(6), 1.0);
    }

    // A recording shorter than the minimum, or none at all, ends the dictation quietly.
    void shortOrNoRecording_data()
    {
        QTest::addColumn<double>("seconds"); // below zero: nothing recorded
        QTest::addColumn<int>("minimumMs");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("nothing") << -1.0 << 400 << u"nothing recorded"_s;
        QTest::newRow("too short") << 0.399 << 400 << u"recorded 0.40s -> vesk-a.wav"_s;
        QTest::newRow("long enough") << 0.4 << 400 << u"recorded 0.40s -> vesk-a.wav"_s;
        QTest::newRow("no minimum") << 0.01 << 0 << u"recorded 0.01s -> vesk-a.wav"_s;
    }

    void shortOrNoRecording()
    {
        QFETCH(double, seconds);
        QFETCH(int, minimumMs);
        QFETCH(QString, logLine);
        Rig rig([&](Config &c) { c.minRecordingMs = minimumMs; });
        const QString file = makeFile(u"vesk-a.wav"_s);
        rig.controller->startRecording(u"mac"_s);
        rig.controller->finishRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        QVERIFY(!rig.hotkey->external);
        rig.recorder->deliver(seconds < 0 ? std::nullopt : std::optional(Recording{file, seconds}));
        QCoreApplication::processEvents();
        const bool sent = seconds * 1000 >= minimumMs;
        QCOMPARE(rig.state.phase(), sent ? Phase::working : Phase::idle);
        QVERIFY(logMessages().contains(logLine));
        QCOMPARE(rig.sounds.join(u' '), sent ? u"Tink Pop"_s : u"Tink"_s);
        QCOMPARE(rig.transcriber->requests.size(), sent ? 1 : 0);
        // Gone unless it never came; one that is sent waits where a retry finds it.
        QCOMPARE(QFile::exists(file), seconds < 0);
        if (sent)
            QCOMPARE(rig.transcriber->requests.first().file, FailedRecordings().newest()->path);
    }

    // How the answer ends a dictation, in a full history: what the user hears and reads, what
    // the history and the front app get, what is left of the files, and what waits for a retry,
    // also after a restart.
    void theAnswerEndsTheDictation_data()
    {
        QTest::addColumn<QString>("answer"); // a transcript, "!" and a failure, or "cancel"
        QTest::addColumn<bool>("refused");   // the insertion
        QTest::addColumn<bool>("keepAudio");
        QTest::addColumn<bool>("trimSilence");
        QTest::addColumn<bool>("sounds");
        QTest::newRow("transcript") << "Salom dunyo" << false << false << true << true;
        QTest::newRow("keepAudio") << "Salom dunyo" << false << true << true << true;
        QTest::newRow("untrimmed") << "Salom dunyo" << false << false << false << true;
        QTest::newRow("insertion refused") << "Salom dunyo" << true << false << true << true;
        QTest::newRow("failed") << "!Gemini returned 503: overloaded" << false << false << true
                                << true;
        QTest::newRow("failed, keepAudio") << "!offline" << false << true << true << true;
        QTest::newRow("sounds off") << "!offline" << false << false << true << false;
        QTest::newRow("cancelled") << "cancel" << false << false << true << true;
    }

    void theAnswerEndsTheDictation()
    {
        QFETCH(QString, answer);
        QFETCH(bool, refused);
        QFETCH(bool, keepAudio);
        QFETCH(bool, trimSilence);
        QFETCH(bool, sounds);
        const bool transcribed = !answer.startsWith(u'!') && answer != u"cancel"_s;
        const QString refusal = u"Waiting for the desktop to allow typing."_s;
        const QString message = refused                   ? refusal
                                : answer.startsWith(u'!') ? answer.mid(1)
                                                          : QString();
        Rig rig([&](Config &c) {
            c.insertMethod = u"type"_s;
            c.newlineMode = u"space"_s;
            c.model = u"gemini-x"_s;
            c.keepAudio = keepAudio;
            c.trimSilence = trimSilence;
            c.sounds = sounds;
        });
        History full;
        for (int i = 0; i < History::cap; ++i)
            full.entries.append(HistoryEntry::make(QString::number(i), 1, u"m"_s, u"mac"_s));
        rig.state.setHistory(full);
        rig.state.setMessage(u"old error"_s);
        if (refused)
            rig.inserter->refusal = refusal;
        const QString trimmed = makeFile(u"vesk-s.trimmed.wav"_s);
        rig.trimResult = trimmed;
        const QString file = recordAndFinish(rig, 1.5, u"vesk-s.wav"_s);
        QCOMPARE(rig.trimmedFiles, trimSilence ? QStringList{file} : QStringList());
        // While it is sent, the recording already waits where a retry after a crash finds it;
        // one kept on purpose stays where it is as well.
        const auto waiting = FailedRecordings().newest();
        QVERIFY(waiting);
        QCOMPARE(QFile::exists(file), keepAudio);
        QCOMPARE(rig.transcriber->requests.first().file, trimSilence ? trimmed : waiting->path);

        QVERIFY(rig.controller->canCancelTranscription());
        if (answer == u"cancel"_s) {
            rig.controller->cancelTranscription();
            QCOMPARE(rig.transcriber->cancels, 1);
            QVERIFY(logMessages().contains(u"transcription cancelled"_s));
            rig.transcriber->succeed(u"late"_s); // changes nothing
        } else if (!transcribed) {
            rig.transcriber->fail(answer.mid(1));
            QVERIFY(logMessages().contains(u"transcription failed: "_s + answer.mid(1)));
        } else {
            rig.transcriber->succeed(answer);
        }
        QVERIFY(!rig.controller->canCancelTranscription());
        QCOMPARE(rig.state.phase(), message.isEmpty() ? Phase::idle : Phase::failed);
        if (answer != u"cancel"_s)
            QCOMPARE(rig.state.message(), message);
        QCOMPARE(rig.sounds.join(u' '), !sounds             ? QString()
                                        : message.isEmpty() ? u"Tink Pop"_s
                                                            : u"Tink Pop Basso"_s);
        // The newest first, the oldest one out.
        QCOMPARE(rig.state.history().entries.size(), History::cap);
        QCOMPARE(rig.state.history().entries.last().text, transcribed ? u"998"_s : u"999"_s);
        const HistoryEntry e = rig.state.history().entries.first();
        QCOMPARE(e.text, transcribed ? answer : u"0"_s);
        if (transcribed) {
            QCOMPARE(e.duration, 1.5);
            QCOMPARE(e.model, u"gemini-x"_s);
            QCOMPARE(History::load().entries.size(), History::cap);
            QCOMPARE(History::load().entries.first().text, answer);
            QCOMPARE(rig.state.lastTranscript(), answer);
            QCOMPARE(rig.inserter->calls.size(), 1);
            QCOMPARE(rig.inserter->calls.first().method, u"type"_s);
            QCOMPARE(rig.inserter->calls.first().newline, u"space"_s);
        } else {
            QVERIFY(rig.inserter->calls.isEmpty());
            QVERIFY(logMessages().contains(u"recording kept for a retry: "_s + waiting->path));
        }
        QCOMPARE(QFile::exists(file), keepAudio);
        if (trimSilence)
            QCOMPARE(QFile::exists(trimmed), keepAudio);
        QCOMPARE(rig.controller->canRetry(), !transcribed);
        QCOMPARE(QFile::exists(waiting->path), !transcribed);

        // Neither a later success nor a restart throws away what waits for a retry, which then
        // has the same duration and source.
        recordAndFinish(rig, 1, u"vesk-y.wav"_s);
        rig.transcriber->succeed(u"fine"_s);
        Rig later;
        QCOMPARE(later.controller->waitingRecordings(), transcribed ? 0 : 1);
        if (transcribed)
            return;
        later.controller->retryLastRecording();
        QCOMPARE(later.state.phase(), Phase::working);
        QCOMPARE(later.transcriber->requests.last().file, waiting->path);
        // Failing again keeps the one copy; no second is made.
        later.transcriber->fail(u"offline"_s);
        QCOMPARE(QDir(FailedRecordings().folder()).entryList(QDir::Files).size(), 1);
        later.controller->retryLastRecording();
        later.transcriber->succeed(u"second time"_s);
        QCOMPARE(later.state.history().entries.first().duration, 1.5);
        QCOMPARE(later.state.history().entries.first().source, u"mac"_s);
        QVERIFY(!QFile::exists(waiting->path));
        QVERIFY(!later.controller->canRetry());
        QCOMPARE(QFile::exists(file), keepAudio); // kept on purpose, it stays
    }

    // A hotkey start keeps a failure's message, a toggle clears it (toggling starts and finishes:
    // the running app's commands in tst_launch); while it works, a dictation ignores them all.
    void commandsByPhase()
    {
        Rig rig;
        rig.state.setMessage(u"boom"_s);
        rig.controller->setPhase(Phase::failed);
        rig.controller->startRecording(u"mac"_s);
        QCOMPARE(rig.state.message(), u"boom"_s);
        rig.controller->cancelRecording();
        rig.controller->setPhase(Phase::failed);
        rig.controller->toggleRecording();
        QCOMPARE(rig.state.message(), QString());
        QCOMPARE(rig.state.phase(), Phase::recording);
        // A dictation under way keeps its own state when an earlier insertion fails late.
        rig.inserter->failure(u"late"_s);
        QCOMPARE(rig.state.phase(), Phase::recording);

        rig.controller->cancelRecording();
        recordAndFinish(rig, 1);
        const int sounds = rig.sounds.size();
        rig.controller->startRecording(u"mac"_s);
        rig.controller->toggleRecording();
        rig.controller->finishRecording();
        rig.controller->cancelRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        QCOMPARE(rig.sounds.size(), sounds);
        QCOMPARE(rig.recorder->startedWith.size(), 3);
    }

    // A dictation that continues the app's own last insertion (same window, within a minute)
    // starts with a space; anything else starts as it is.
    void spaceBetweenDictations_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::addColumn<quint64>("secondWindow");
        QTest::addColumn<qint64>("afterMs");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("spaced");
        QTest::newRow("same window") << true << quint64(7) << qint64(5000) << "Second." << true;
        QTest::newRow("a minute") << true << quint64(7) << qint64(60000) << "Second." << true;
        QTest::newRow("later") << true << quint64(7) << qint64(60001) << "Second." << false;
        QTest::newRow("other window") << true << quint64(8) << qint64(5000) << "Second." << false;
        QTest::newRow("window unknown") << true << quint64(0) << qint64(5000) << "Second." << false;
        QTest::newRow("setting off") << false << quint64(7) << qint64(5000) << "Second." << false;
        QTest::newRow("punctuation") << true << quint64(7) << qint64(5000) << ", and more" << false;
    }

    void spaceBetweenDictations()
    {
        QFETCH(bool, setting);
        QFETCH(quint64, secondWindow);
        QFETCH(qint64, afterMs);
        QFETCH(QString, second);
        QFETCH(bool, spaced);
        Rig rig([&](Config &c) { c.spaceBetweenDictations = setting; });
        rig.focus->active = 7;
        recordAndFinish(rig, 1);
        rig.transcriber->succeed(u"First."_s);
        rig.focus->active = secondWindow;
        rig.nowMs += afterMs;
        rig.controller->insert(second);
        QCOMPARE(rig.inserter->calls.size(), 2);
        QVERIFY(!rig.inserter->calls[0].spaceBefore);
        QCOMPARE(rig.inserter->calls[1].spaceBefore, spaced);
        QCOMPARE(rig.state.history().entries.first().text, u"First."_s);
    }

    void insertAndCopyLast()
    {
        // With no transcript, neither touches the front app or the user's clipboard.
        Rig rig;
        QGuiApplication::clipboard()->setText(u"the user's own"_s);
        rig.controller->insertLast();
        rig.controller->copyLast();
        QVERIFY(rig.inserter->calls.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), u"the user's own"_s);

        rig.state.setHistory(historyOf({u"copied text"_s}));
        rig.controller->insertLast();
        QCOMPARE(rig.inserter->calls.size(), 1);
        QCOMPARE(rig.inserter->calls.first().text, u"copied text"_s);
        QCOMPARE(rig.inserter->calls.first().method, u"paste"_s);
        rig.controller->copyLast();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"copied text"_s);
    }
};

QTEST_MAIN(ControllerTest)
#include "tst_controller.moc"
