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

        explicit Rig(const std::function<void(Config &)> &change = {})
        {
            if (change)
                configure(change);
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
        void configure(const std::function<void(Config &)> &change)
        {
            Config c = state.config();
            change(c);
            state.setConfig(c);
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
    }

    void startAndLevels()
    {
        Rig rig([](Config &c) { c.inputDeviceID = u"usb"_s; });
        rig.recorder->level = -25;
        rig.controller->startRecording(u"mac"_s);
        QCOMPARE(rig.state.phase(), Phase::recording);
        QCOMPARE(rig.recorder->startedWith, QStringList{u"usb"_s});
        QVERIFY(rig.hotkey->external);
        QCOMPARE(rig.sounds, QStringList{u"Tink"_s});
        QTRY_COMPARE(rig.state.level(), 0.5);
        // In English, and saying what a microphone that is away stands for.
        QCOMPARE(logMessages(),
                 QStringList{u"recording started (mac) on usb (not connected: the system "
                             "default)"_s});

        // A second start while recording restarts the sound and the log line only.
        rig.controller->startRecording(u"mac"_s);
        QCOMPARE(rig.sounds.size(), 2);
        QCOMPARE(rig.state.phase(), Phase::recording);

        rig.controller->cancelRecording();
        QCOMPARE(rig.state.level(), 0.0);
        QVERIFY(!rig.hotkey->external);
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
        QVERIFY(rig.recorder->lateFailure);
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
        QCOMPARE(AppDelegate::levelFor(-50), 0.0);
        QCOMPARE(AppDelegate::levelFor(-10), 0.8);
        QCOMPARE(AppDelegate::levelFor(0), 1.0);
        QCOMPARE(AppDelegate::levelFor(6), 1.0);
    }

    void nothingRecorded()
    {
        Rig rig;
        rig.controller->startRecording(u"mac"_s);
        rig.controller->finishRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        QVERIFY(!rig.hotkey->external);
        rig.recorder->deliver(std::nullopt);
        QTRY_COMPARE(rig.state.phase(), Phase::idle);
        QVERIFY(logMessages().contains(u"nothing recorded"_s));
        QCOMPARE(rig.sounds, QStringList{u"Tink"_s});
    }

    void shortRecordingBoundary()
    {
        Rig rig;
        const QString shortFile = recordAndFinish(rig, 0.399);
        QCOMPARE(rig.state.phase(), Phase::idle);
        QVERIFY(!QFile::exists(shortFile));
        QCOMPARE(rig.sounds, QStringList{u"Tink"_s});
        QVERIFY(rig.transcriber->requests.isEmpty());
        QVERIFY(logMessages().contains(u"recorded 0.40s -> vesk-a.wav"_s));

        recordAndFinish(rig, 0.400, u"vesk-b.wav"_s);
        QCOMPARE(rig.state.phase(), Phase::working);
        QCOMPARE(rig.sounds.last(), u"Pop"_s);
        QCOMPARE(rig.transcriber->requests.size(), 1);
        // Sent from where a retry finds it.
        QCOMPARE(rig.transcriber->requests.first().file, FailedRecordings().newest()->path);

        Rig zero([](Config &c) { c.minRecordingMs = 0; });
        recordAndFinish(zero, 0.01, u"vesk-c.wav"_s);
        QCOMPARE(zero.transcriber->requests.size(), 1);
    }

    void cancelDeletesEvenWhenKeepingAudio()
    {
        Rig rig([](Config &c) { c.keepAudio = true; });
        const QString file = makeFile(u"vesk-cancel.wav"_s);
        rig.controller->startRecording(u"mac"_s);
        // The capture feeds the request while the user speaks; its words show meanwhile.
        QVERIFY(rig.recorder->audio);
        rig.recorder->audio(QByteArray(640, '\x01'));
        QCOMPARE(rig.transcriber->fed, QList<QByteArray>{QByteArray(640, '\x01')});
        rig.transcriber->interim(u"Salom"_s);
        QCOMPARE(rig.state.interimText(), u"Salom"_s);
        rig.controller->cancelRecording();
        // The request side hears of it: a live session sends nothing more.
        QCOMPARE(rig.transcriber->cancels, 1);
        QVERIFY(rig.state.interimText().isEmpty());
        QCOMPARE(rig.state.phase(), Phase::idle);
        QCOMPARE(rig.sounds, (QStringList{u"Tink"_s, u"Funk"_s}));
        rig.recorder->deliver(Recording{file, 2});
        QTRY_VERIFY(!QFile::exists(file));
        QVERIFY(logMessages().contains(u"recording cancelled"_s));
        // Cancel outside recording does nothing.
        rig.controller->cancelRecording();
        QCOMPARE(rig.sounds.size(), 2);
    }

    void successAddsInsertsAndCleansUp_data()
    {
        QTest::addColumn<bool>("keepAudio");
        QTest::addColumn<bool>("trimSilence");
        QTest::newRow("defaults: both files go") << false << true;
        QTest::newRow("keepAudio keeps both") << true << true;
        QTest::newRow("trimming off sends the recording itself") << false << false;
    }

    void successAddsInsertsAndCleansUp()
    {
        QFETCH(bool, keepAudio);
        QFETCH(bool, trimSilence);
        Rig rig([&](Config &c) {
            c.insertMethod = u"type"_s;
            c.newlineMode = u"space"_s;
            c.model = u"gemini-x"_s;
            c.keepAudio = keepAudio;
            c.trimSilence = trimSilence;
        });
        rig.state.setMessage(u"old error"_s);
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

        rig.transcriber->succeed(u"Salom dunyo"_s);
        QCOMPARE(rig.state.phase(), Phase::idle);
        QCOMPARE(rig.state.message(), QString());
        QCOMPARE(rig.state.lastTranscript(), u"Salom dunyo"_s);
        const HistoryEntry e = rig.state.history().entries.first();
        QCOMPARE(e.duration, 1.5);
        QCOMPARE(e.model, u"gemini-x"_s);
        QCOMPARE(rig.inserter->calls.size(), 1);
        QCOMPARE(rig.inserter->calls.first().method, u"type"_s);
        QCOMPARE(rig.inserter->calls.first().newline, u"space"_s);
        QCOMPARE(QFile::exists(file), keepAudio);
        if (trimSilence)
            QCOMPARE(QFile::exists(trimmed), keepAudio);
        QVERIFY(!rig.controller->canRetry());
        QVERIFY(!QFile::exists(waiting->path));
        QFile::remove(file);
        QFile::remove(trimmed);
    }

    void refusedInsertionSaysWhyAndKeepsTheTranscript()
    {
        Rig rig;
        rig.inserter->refusal = u"Waiting for the desktop to allow typing."_s;
        recordAndFinish(rig, 1.5);
        rig.transcriber->succeed(u"Salom dunyo"_s);
        QCOMPARE(rig.state.phase(), Phase::failed);
        QCOMPARE(rig.state.message(), rig.inserter->refusal);
        QCOMPARE(rig.sounds.last(), u"Basso"_s);
        QCOMPARE(History::load().entries.first().text, u"Salom dunyo"_s);

        // A dictation under way keeps its own state when an earlier insertion fails late.
        rig.controller->toggleRecording();
        QCOMPARE(rig.state.phase(), Phase::recording);
        rig.inserter->failure(u"late"_s);
        QCOMPARE(rig.state.phase(), Phase::recording);
        rig.controller->cancelRecording();
    }

    void failureKeepsTheRecordingForARetry()
    {
        Rig rig;
        recordAndFinish(rig, 1.25, u"vesk-f.wav"_s);
        rig.transcriber->fail(u"Gemini returned 503: overloaded"_s);
        QCOMPARE(rig.state.phase(), Phase::failed);
        QCOMPARE(rig.state.message(), u"Gemini returned 503: overloaded"_s);
        QCOMPARE(rig.sounds.last(), u"Basso"_s);
        QVERIFY(rig.state.history().entries.isEmpty());
        QVERIFY(rig.inserter->calls.isEmpty());
        // Moved into the data folder (owner-only, the trimmed copy gone: the real app's test).
        const auto kept = FailedRecordings().newest();
        QVERIFY(kept.has_value());
        QVERIFY(rig.controller->canRetry());
        QVERIFY(logMessages().contains(u"transcription failed: Gemini returned 503: overloaded"_s));

        // A restart still offers the retry, with the same duration and source.
        Rig later;
        QVERIFY(later.controller->canRetry());
        later.trimResult = std::nullopt;
        later.controller->retryLastRecording();
        QCOMPARE(later.state.phase(), Phase::working);
        QCOMPARE(later.transcriber->requests.last().file, kept->path);
        // Failing again keeps the one copy; no second is made.
        later.transcriber->fail(u"offline"_s);
        QCOMPARE(QDir(FailedRecordings().folder()).entryList(QDir::Files).size(), 1);
        later.controller->retryLastRecording();
        later.transcriber->succeed(u"second time"_s);
        QCOMPARE(later.state.history().entries.first().duration, 1.25);
        QCOMPARE(later.state.history().entries.first().source, u"mac"_s);
        QVERIFY(!QFile::exists(kept->path));
        QVERIFY(!later.controller->canRetry());
    }

    // A later success or keepAudio does not throw away what still waits for a retry, and a
    // recording kept on purpose stays where it is.
    void failedRecordingsWaitAndKeptOnesStay()
    {
        Rig rig;
        recordAndFinish(rig, 1, u"vesk-x.wav"_s);
        rig.transcriber->fail(u"offline"_s);
        recordAndFinish(rig, 1, u"vesk-y.wav"_s);
        rig.transcriber->succeed(u"fine"_s);
        QVERIFY(rig.controller->canRetry());

        rig.configure([](Config &c) { c.keepAudio = true; });
        const QString kept = recordAndFinish(rig, 2, u"vesk-k2.wav"_s);
        rig.transcriber->fail(u"offline"_s);
        QVERIFY(QFile::exists(kept));
        const auto newest = FailedRecordings().newest();
        QCOMPARE(newest->duration, 2.0);
        rig.controller->retryLastRecording();
        rig.transcriber->succeed(u"ok"_s);
        QVERIFY(QFile::exists(kept));
        QVERIFY(!QFile::exists(newest->path));
        QVERIFY(rig.controller->canRetry()); // the first failure still waits
    }

    // A request cancelled from the menu leaves the recording where a retry finds it, also after
    // the restart; the answer that comes late changes nothing. (A quit does the same: the real
    // app's test.)
    void cancelledRequestKeepsTheRecording()
    {
        Rig rig;
        const QString trimmed = makeFile(u"vesk-h.trimmed.wav"_s);
        rig.trimResult = trimmed;
        const QString file = recordAndFinish(rig, 1, u"vesk-h.wav"_s);
        QVERIFY(rig.controller->canCancelTranscription());
        rig.controller->cancelTranscription();
        QCOMPARE(rig.transcriber->cancels, 1);
        QVERIFY(!rig.controller->canCancelTranscription());
        QCOMPARE(rig.state.phase(), Phase::idle);
        QVERIFY(!QFile::exists(file));
        QVERIFY(!QFile::exists(trimmed));
        const auto kept = FailedRecordings().newest();
        QVERIFY(kept);
        QVERIFY(logMessages().contains(u"recording kept for a retry: "_s + kept->path));
        QVERIFY(logMessages().contains(u"transcription cancelled"_s));
        rig.transcriber->succeed(u"late"_s);
        QVERIFY(rig.state.history().entries.isEmpty());
        QVERIFY(rig.inserter->calls.isEmpty());
        Rig later;
        QVERIFY(later.controller->canRetry());
        QCOMPARE(later.controller->waitingRecordings(), 1);
    }

    void workingIgnoresEverything()
    {
        Rig rig;
        recordAndFinish(rig, 1);
        const int sounds = rig.sounds.size();
        rig.controller->startRecording(u"mac"_s);
        rig.controller->toggleRecording();
        rig.controller->finishRecording();
        rig.controller->cancelRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        QCOMPARE(rig.sounds.size(), sounds);
        QCOMPARE(rig.recorder->startedWith.size(), 1);
    }

    // Toggling starts and finishes (the running app's commands: tst_launch); a hotkey start
    // keeps a failure's message, a toggle clears it.
    void toggleClearsTheMessage()
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
    }

    void historyCap()
    {
        Rig rig;
        History full;
        for (int i = 0; i < 1000; ++i)
            full.entries.append(HistoryEntry::make(QString::number(i), 1, u"m"_s, u"mac"_s));
        rig.state.setHistory(full);
        recordAndFinish(rig, 1);
        rig.transcriber->succeed(u"1001st"_s);
        QCOMPARE(rig.state.history().entries.size(), 1000);
        QCOMPARE(rig.state.history().entries.last().text, u"998"_s);
        QCOMPARE(History::load().entries.size(), 1000);
    }

    void soundsOff()
    {
        Rig rig([](Config &c) { c.sounds = false; });
        recordAndFinish(rig, 1);
        rig.transcriber->fail(u"x"_s);
        rig.controller->startRecording(u"mac"_s);
        rig.controller->cancelRecording();
        QVERIFY(rig.sounds.isEmpty());
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
