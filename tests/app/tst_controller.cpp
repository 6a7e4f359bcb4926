#include "AppDelegate.h"
#include "ControllerFakes.h"
#include "Log.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>
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
        QStringList sounds;
        QStringList trimmedFiles;
        std::optional<QString> trimResult;
        std::unique_ptr<AppDelegate> controller;

        Rig()
        {
            AppDelegate::Services s;
            s.recorder.reset(recorder);
            s.hotkey.reset(hotkey);
            s.inserter.reset(inserter);
            s.transcriber.reset(transcriber);
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
        const QString path = m_files.path() + QLatin1Char('/') + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(100, 'x'));
        return path;
    }

    // Runs a dictation up to the moment the recording goes to transcription.
    QString recordAndFinish(Rig &rig, double duration,
                            const QString &name = QStringLiteral("vesk-a.wav"))
    {
        const QString file = makeFile(name);
        rig.controller->startRecording(QStringLiteral("mac"));
        rig.controller->finishRecording();
        rig.recorder->deliver(Recording{file, duration});
        QCoreApplication::processEvents();
        return file;
    }

    static QStringList logMessages()
    {
        Log::flush();
        QFile f(Log::fileURL());
        f.open(QIODevice::ReadOnly);
        QStringList lines;
        for (const QString &line :
             QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            lines.append(line.mid(13));
        return lines;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }
    void init() { Log::reset(); }

    void startAndLevels()
    {
        Rig rig;
        rig.configure([](Config &c) { c.inputDeviceID = QStringLiteral("usb"); });
        rig.recorder->level = -25;
        rig.controller->startRecording(QStringLiteral("mac"));
        QCOMPARE(rig.state.phase(), Phase::recording);
        QCOMPARE(rig.recorder->startedWith, QStringList{QStringLiteral("usb")});
        QVERIFY(rig.hotkey->external);
        QCOMPARE(rig.sounds, QStringList{QStringLiteral("Tink")});
        QTRY_COMPARE(rig.state.level(), 0.5);
        QCOMPARE(logMessages(), QStringList{QStringLiteral("recording started (mac) on Mic usb")});

        // A second start while recording restarts the sound and the log line only.
        rig.controller->startRecording(QStringLiteral("mac"));
        QCOMPARE(rig.sounds.size(), 2);
        QCOMPARE(rig.state.phase(), Phase::recording);

        rig.controller->cancelRecording();
        QCOMPARE(rig.state.level(), 0.0);
        QVERIFY(!rig.hotkey->external);
    }

    void refusedStart()
    {
        Rig rig;
        rig.recorder->failure = QStringLiteral("The chosen microphone is not available.");
        rig.controller->startRecording(QStringLiteral("mac"));
        QCOMPARE(rig.state.phase(), Phase::failed);
        QCOMPARE(rig.state.message(), *rig.recorder->failure);
        QVERIFY(rig.sounds.isEmpty());
        QVERIFY(logMessages().isEmpty());
    }

    void startFailingInTheBackground()
    {
        Rig rig;
        rig.controller->startRecording(QStringLiteral("mac"));
        QCOMPARE(rig.state.phase(), Phase::recording);
        QVERIFY(rig.recorder->lateFailure);
        rig.recorder->lateFailure(QStringLiteral("Could not start the microphone. busy"));
        QCOMPARE(rig.state.phase(), Phase::failed);
        QCOMPARE(rig.state.message(), QStringLiteral("Could not start the microphone. busy"));
        QVERIFY(!rig.hotkey->external);
        QCOMPARE(rig.state.level(), 0.0);

        // Too late to matter once the dictation moved on.
        rig.controller->toggleRecording();
        rig.controller->finishRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        rig.recorder->lateFailure(QStringLiteral("stale"));
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
        rig.controller->startRecording(QStringLiteral("mac"));
        rig.controller->finishRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        QVERIFY(!rig.hotkey->external);
        rig.recorder->deliver(std::nullopt);
        QTRY_COMPARE(rig.state.phase(), Phase::idle);
        QVERIFY(logMessages().contains(QStringLiteral("nothing recorded")));
        QCOMPARE(rig.sounds, QStringList{QStringLiteral("Tink")});
    }

    void shortRecordingBoundary()
    {
        Rig rig;
        const QString shortFile = recordAndFinish(rig, 0.399);
        QCOMPARE(rig.state.phase(), Phase::idle);
        QVERIFY(!QFile::exists(shortFile));
        QCOMPARE(rig.sounds, QStringList{QStringLiteral("Tink")});
        QVERIFY(rig.transcriber->requests.isEmpty());
        QVERIFY(logMessages().contains(QStringLiteral("recorded 0.40s -> vesk-a.wav")));

        const QString file = recordAndFinish(rig, 0.400, QStringLiteral("vesk-b.wav"));
        QCOMPARE(rig.state.phase(), Phase::working);
        QCOMPARE(rig.sounds.last(), QStringLiteral("Pop"));
        QCOMPARE(rig.transcriber->requests.size(), 1);
        QCOMPARE(rig.transcriber->requests.first().file, file);

        Rig zero;
        zero.configure([](Config &c) { c.minRecordingMs = 0; });
        recordAndFinish(zero, 0.01, QStringLiteral("vesk-c.wav"));
        QCOMPARE(zero.transcriber->requests.size(), 1);
    }

    void cancelDeletesEvenWhenKeepingAudio()
    {
        Rig rig;
        rig.configure([](Config &c) { c.keepAudio = true; });
        const QString file = makeFile(QStringLiteral("vesk-cancel.wav"));
        rig.controller->startRecording(QStringLiteral("mac"));
        rig.controller->cancelRecording();
        QCOMPARE(rig.state.phase(), Phase::idle);
        QCOMPARE(rig.sounds, (QStringList{QStringLiteral("Tink"), QStringLiteral("Funk")}));
        rig.recorder->deliver(Recording{file, 2});
        QTRY_VERIFY(!QFile::exists(file));
        QVERIFY(logMessages().contains(QStringLiteral("recording cancelled")));
        // Cancel outside recording does nothing.
        rig.controller->cancelRecording();
        QCOMPARE(rig.sounds.size(), 2);
    }

    void successAddsInsertsAndCleansUp()
    {
        Rig rig;
        rig.configure([](Config &c) {
            c.insertMethod = QStringLiteral("type");
            c.newlineMode = QStringLiteral("space");
            c.model = QStringLiteral("gemini-x");
        });
        rig.state.setMessage(QStringLiteral("old error"));
        const QString trimmed = makeFile(QStringLiteral("vesk-s.trimmed.wav"));
        rig.trimResult = trimmed;
        const QString file = recordAndFinish(rig, 1.5, QStringLiteral("vesk-s.wav"));
        QCOMPARE(rig.trimmedFiles, QStringList{file});
        QCOMPARE(rig.transcriber->requests.first().file, trimmed);

        rig.transcriber->succeed(QStringLiteral("Salom dunyo"));
        QCOMPARE(rig.state.phase(), Phase::idle);
        QCOMPARE(rig.state.message(), QString());
        QCOMPARE(rig.state.lastTranscript(), QStringLiteral("Salom dunyo"));
        const HistoryEntry e = rig.state.history().entries.first();
        QCOMPARE(e.duration, 1.5);
        QCOMPARE(e.model, QStringLiteral("gemini-x"));
        QCOMPARE(e.source, QStringLiteral("mac"));
        QCOMPARE(History::load().entries.first().text, QStringLiteral("Salom dunyo"));
        QCOMPARE(rig.inserter->calls.size(), 1);
        QCOMPARE(rig.inserter->calls.first().method, QStringLiteral("type"));
        QCOMPARE(rig.inserter->calls.first().newline, QStringLiteral("space"));
        QVERIFY(!QFile::exists(file));
        QVERIFY(!QFile::exists(trimmed));
        QVERIFY(!rig.controller->canRetry());
        QVERIFY(logMessages().contains(QStringLiteral("transcript: Salom dunyo")));
    }

    void keepAudioKeepsBoth()
    {
        Rig rig;
        rig.configure([](Config &c) { c.keepAudio = true; });
        const QString trimmed = makeFile(QStringLiteral("vesk-k.trimmed.wav"));
        rig.trimResult = trimmed;
        const QString file = recordAndFinish(rig, 1, QStringLiteral("vesk-k.wav"));
        rig.transcriber->succeed(QStringLiteral("ok"));
        QVERIFY(QFile::exists(file));
        QVERIFY(QFile::exists(trimmed));
    }

    void trimmingOffSendsTheRecording()
    {
        Rig rig;
        rig.configure([](Config &c) { c.trimSilence = false; });
        rig.trimResult = makeFile(QStringLiteral("never.wav"));
        const QString file = recordAndFinish(rig, 1, QStringLiteral("vesk-t.wav"));
        QVERIFY(rig.trimmedFiles.isEmpty());
        QCOMPARE(rig.transcriber->requests.first().file, file);
    }

    void failureKeepsTheRecordingForARetry()
    {
        Rig rig;
        const QString trimmed = makeFile(QStringLiteral("vesk-f.trimmed.wav"));
        rig.trimResult = trimmed;
        const QString file = recordAndFinish(rig, 1, QStringLiteral("vesk-f.wav"));
        rig.transcriber->fail(QStringLiteral("Gemini returned 503: overloaded"));
        QCOMPARE(rig.state.phase(), Phase::failed);
        QCOMPARE(rig.state.message(), QStringLiteral("Gemini returned 503: overloaded"));
        QCOMPARE(rig.sounds.last(), QStringLiteral("Basso"));
        QVERIFY(rig.state.history().entries.isEmpty());
        QVERIFY(rig.inserter->calls.isEmpty());
        QVERIFY(QFile::exists(file));
        QVERIFY(!QFile::exists(trimmed));
        QVERIFY(rig.controller->canRetry());
        QVERIFY(logMessages().contains(
            QStringLiteral("transcription failed: Gemini returned 503: overloaded")));

        rig.trimResult = std::nullopt;
        rig.controller->retryLastRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        QCOMPARE(rig.state.message(), QString());
        QCOMPARE(rig.transcriber->requests.size(), 2);
        QCOMPARE(rig.transcriber->requests.last().file, file);
        QVERIFY(!rig.controller->canRetry());
        rig.transcriber->succeed(QStringLiteral("second time"));
        QCOMPARE(rig.state.lastTranscript(), QStringLiteral("second time"));
        QVERIFY(!QFile::exists(file));
    }

    void nextSuccessReleasesFailedRecordings()
    {
        Rig rig;
        const QString failed = recordAndFinish(rig, 1, QStringLiteral("vesk-x.wav"));
        rig.transcriber->fail(QStringLiteral("offline"));
        QVERIFY(rig.controller->canRetry());
        recordAndFinish(rig, 1, QStringLiteral("vesk-y.wav"));
        rig.transcriber->succeed(QStringLiteral("fine"));
        QVERIFY(!rig.controller->canRetry());
        QVERIFY(!QFile::exists(failed));
    }

    void cancelTranscription()
    {
        Rig rig;
        const QString file = recordAndFinish(rig, 1, QStringLiteral("vesk-h.wav"));
        QVERIFY(rig.controller->canCancelTranscription());
        rig.controller->cancelTranscription();
        QCOMPARE(rig.transcriber->cancels, 1);
        QCOMPARE(rig.state.phase(), Phase::idle);
        QVERIFY(QFile::exists(file));
        QVERIFY(rig.controller->canRetry());
        // A late answer of the cancelled request changes nothing.
        rig.transcriber->succeed(QStringLiteral("late"));
        QVERIFY(rig.state.history().entries.isEmpty());
        QVERIFY(rig.inserter->calls.isEmpty());
    }

    void workingIgnoresEverything()
    {
        Rig rig;
        recordAndFinish(rig, 1);
        const int sounds = rig.sounds.size();
        rig.controller->startRecording(QStringLiteral("mac"));
        rig.controller->toggleRecording();
        rig.controller->finishRecording();
        rig.controller->cancelRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        QCOMPARE(rig.sounds.size(), sounds);
        QCOMPARE(rig.recorder->startedWith.size(), 1);
    }

    void toggle()
    {
        Rig rig;
        rig.controller->toggleRecording();
        QCOMPARE(rig.state.phase(), Phase::recording);
        rig.controller->toggleRecording();
        QCOMPARE(rig.state.phase(), Phase::working);
        rig.recorder->deliver(std::nullopt);
        QTRY_COMPARE(rig.state.phase(), Phase::idle);

        rig.state.setMessage(QStringLiteral("boom"));
        rig.controller->setPhase(Phase::failed);
        // A hotkey start keeps the message; a toggle clears it.
        rig.controller->startRecording(QStringLiteral("mac"));
        QCOMPARE(rig.state.message(), QStringLiteral("boom"));
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
            full.entries.append(HistoryEntry::make(QString::number(i), 1, QStringLiteral("m"),
                                                   QStringLiteral("mac")));
        rig.state.setHistory(full);
        recordAndFinish(rig, 1);
        rig.transcriber->succeed(QStringLiteral("1001st"));
        QCOMPARE(rig.state.history().entries.size(), 1000);
        QCOMPARE(rig.state.history().entries.last().text, QStringLiteral("998"));
        QCOMPARE(History::load().entries.size(), 1000);
    }

    void soundsOff()
    {
        Rig rig;
        rig.configure([](Config &c) { c.sounds = false; });
        recordAndFinish(rig, 1);
        rig.transcriber->fail(QStringLiteral("x"));
        rig.controller->startRecording(QStringLiteral("mac"));
        rig.controller->cancelRecording();
        QVERIFY(rig.sounds.isEmpty());
    }

    void insertAndCopyLast()
    {
        Rig rig;
        rig.controller->insertLast();
        QCOMPARE(rig.inserter->calls.size(), 1);
        QCOMPARE(rig.inserter->calls.first().text, QString());
        QCOMPARE(rig.inserter->calls.first().method, QStringLiteral("paste"));

        History h;
        h.add(HistoryEntry::make(QStringLiteral("copied text"), 1, QStringLiteral("m"),
                                 QStringLiteral("mac")));
        rig.state.setHistory(h);
        rig.controller->copyLast();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("copied text"));
    }
};

QTEST_MAIN(ControllerTest)
#include "tst_controller.moc"
