#include "ControllerFakes.h"
#include "app/parts/LazyPorts.h"
#include "app/parts/ModuleParts.h"
#include "TestSupport.h"

#include <QtTest>

namespace {

// Counts what is made: the launch must make nothing, a dictation its recorder and transcriber
// (the rest are the real parts, which these cases never ask for).
class CountingParts : public ModuleParts
{
public:
    FakeRecorder *recorderMade = nullptr;
    FakeTranscriber *transcriberMade = nullptr;

    std::unique_ptr<RecorderPort> recorder() override
    {
        auto made = std::make_unique<FakeRecorder>();
        recorderMade = made.get();
        return made;
    }
    std::unique_ptr<TranscriberPort> transcriber() override
    {
        auto made = std::make_unique<FakeTranscriber>();
        transcriberMade = made.get();
        return made;
    }
};

} // namespace

// The controller's recorder and transcriber before and after their parts are made.
class OnDemandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each is made at its first use, and not before.
    void eachIsMadeAtItsFirstUse()
    {
        auto *counting = new CountingParts;
        OnDemand parts{std::unique_ptr<OnDemandParts>(counting)};
        LazyRecorder recorder(parts);
        LazyTranscriber transcriber(parts);
        QStringList late, interim;
        QByteArrayList audio;
        recorder.setLateFailureHandler([&](const QString &why) { late.append(why); });
        recorder.setAudioHandler([&](const QByteArray &pcm) { audio.append(pcm); });
        transcriber.setInterimHandler([&](const QString &words) { interim.append(words); });

        // What the launch and an idle tray ask, and audio, the encoding question and a cancel
        // before any request: answered without the audio system or the network.
        QVERIFY(!recorder.isRecording());
        QVERIFY(!recorder.levelDb());
        QCOMPARE(recorder.name(QString()), u"System default"_s);
        recorder.release();
        bool stopped = false;
        recorder.stop([&](std::optional<Recording> r) { stopped = !r; });
        QVERIFY(stopped);
        QVERIFY(!recorder.ready());
        transcriber.feed("early");
        QVERIFY(!transcriber.encodesWhileRecording(Config()));
        transcriber.cancel();
        QVERIFY(!counting->recorderMade);

        // The first recording makes the recorder (only), with the handlers set before.
        QCOMPARE(recorder.start(u"a"_s), std::nullopt);
        FakeRecorder *made = counting->recorderMade;
        QVERIFY(made);
        QCOMPARE(made->startedWith, QStringList{u"a"_s});
        QVERIFY(recorder.isRecording());
        QVERIFY(recorder.ready());
        made->lateFailure(u"gone"_s);
        made->audio("pcm");
        QCOMPARE(late, QStringList{u"gone"_s});
        QCOMPARE(audio, QByteArrayList{"pcm"});
        made->level = -12.f;
        QCOMPARE(recorder.levelDb(), std::optional<float>(-12.f));
        QCOMPARE(recorder.name(u"a"_s), u"Mic a"_s);
        QCOMPARE(recorder.inputs().size(), 1);
        recorder.release();
        QCOMPARE(made->releases, 1);
        // A handler set later reaches the one made.
        recorder.setAudioHandler({});
        QVERIFY(!made->audio);
        QVERIFY(!counting->transcriberMade);

        // The warm-up before a request makes the transcriber.
        transcriber.warmUp(Config());
        FakeTranscriber *transcriberMade = counting->transcriberMade;
        QVERIFY(transcriberMade);
        transcriber.feed("late");
        QCOMPARE(transcriberMade->fed, QByteArrayList{"late"});
        transcriberMade->interim(u"salom"_s);
        QCOMPARE(interim, QStringList{u"salom"_s});
        transcriber.transcribe(Config(), u"/rec.wav"_s, [](std::optional<QString>, QString) {});
        QCOMPARE(transcriberMade->requests.size(), 1);
        QCOMPARE(transcriberMade->requests.first().file, u"/rec.wav"_s);
        transcriber.cancel();
        QCOMPARE(transcriberMade->cancels, 1);
    }
};

QTEST_GUILESS_MAIN(OnDemandTest)
#include "tst_ondemand.moc"
