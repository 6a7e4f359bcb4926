#include "audio/AudioRecorder.h"
#include "audio/MicrophoneLevel.h"
#include "audio/AudioTrimmer.h"
#include "TestSupport.h"
#include "WaveFiles.h"

#include <QtTest>
#include <cmath>
#include <sndfile.h>
#include <vector>

using Recording = std::optional<AudioRecorder::Recording>;
using Failure = std::optional<AudioRecorder::Failure>;

namespace {

constexpr double toneHz = 440;

// Pieces of `seconds` each, alternately tone at half scale and digital silence, tone first.
std::vector<short> toneAndSilence(const QList<double> &seconds)
{
    std::vector<short> samples;
    bool tone = true;
    for (double s : seconds) {
        for (int i = 0; i < int(s * 16000); ++i)
            samples.push_back(tone ? short(16384 * std::sin(2 * M_PI * toneHz * i / 16000)) : 0);
        tone = !tone;
    }
    return samples;
}

using TestSupport::Run;
using TestSupport::runApp;

} // namespace

class RecorderTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;
    QTemporaryDir m_tmp; // TMPDIR: the recordings land here and nowhere else
    QString m_tone;

    QStringList recordings() const
    {
        return QDir(m_tmp.path()).entryList({u"vesk-*.wav"_s}, QDir::Files);
    }

    QProcessEnvironment childEnvironment() const
    {
        return TestSupport::appEnvironment(m_files.filePath(u"data"_s));
    }

    // Starts a recording and waits until it runs.
    bool startRecording(AudioRecorder &recorder, const QString &input = QString())
    {
        std::optional<Failure> started;
        recorder.start(input, [&](const Failure &f) { started = f; });
        return recorder.isRecording() && QTest::qWaitFor([&] { return started.has_value(); }) &&
               !*started;
    }

    // Plays the tone into the virtual microphone to its end: the level first read above
    // -20 dBFS while it played, or -200 when none was or the player failed.
    float playTone(const std::function<float()> &level)
    {
        QProcess player;
        player.start(u"paplay"_s, {u"-d"_s, u"micfeed"_s, m_tone});
        float loud = -200;
        const bool heard = QTest::qWaitFor([&] { return (loud = level()) > -20; }, 3000);
        return player.waitForFinished(5000) && player.exitCode() == 0 && heard ? loud : -200;
    }

    Recording stopRecording(AudioRecorder &recorder, QThread **calledOn = nullptr)
    {
        std::optional<Recording> stopped;
        recorder.stop([&](const Recording &r) {
            stopped = r;
            if (calledOn)
                *calledOn = QThread::currentThread();
        });
        (void)QTest::qWaitFor([&] { return stopped.has_value(); }, 10000);
        return stopped.value_or(Recording());
    }

private Q_SLOTS:
    // A failed check leaves its recording behind; the next test starts without it.
    void cleanup()
    {
        for (const QString &name : recordings())
            QFile::remove(m_tmp.filePath(name));
    }

    void initTestCase()
    {
        TestSupport::isolateDataDir();
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        QCOMPARE(QDir::tempPath(), m_tmp.path());
        VESK_REQUIRE_AUDIO();
        m_tone = m_files.filePath(u"tone.wav"_s);
        QVERIFY(WaveFiles::writeMono16k(m_tone, toneAndSilence({1.0})));
    }

    void recordsTheToneTwice()
    {
        AudioRecorder recorder;
        QElapsedTimer wall;
        wall.start();
        QVERIFY(startRecording(recorder));
        // A second start while recording answers at once and changes nothing.
        bool again = false;
        recorder.start(u"gone"_s, [&](const Failure &f) { again = !f; });
        QVERIFY(again);
        QVERIFY(recorder.isRecording());

        QTest::qWait(300);
        const float quiet = recorder.averagePowerLevel();
        QVERIFY2(quiet < -60, qPrintable(QString::number(quiet)));
        const float loud = playTone([&] { return recorder.averagePowerLevel(); });
        QVERIFY2(loud < 0 && loud > quiet + 30, qPrintable(QString::number(loud)));
        QTest::qWait(200);
        const double held = wall.elapsed() / 1000.0;
        const Recording recording = stopRecording(recorder);
        QVERIFY(recording);

        const QFileInfo file(recording->file);
        QCOMPARE(file.absolutePath(), m_tmp.path());
        static const QRegularExpression name(
            u"^vesk-[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\.wav$"_s,
            QRegularExpression::CaseInsensitiveOption);
        QVERIFY2(name.match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
        QCOMPARE(TestSupport::unixMode(file.filePath()), 0600);
        SF_INFO info;
        const std::vector<short> samples = WaveFiles::read<short>(file.filePath(), info);
        QCOMPARE(info.samplerate, 16000);
        QCOMPARE(info.channels, 1);
        QCOMPARE(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        QVERIFY(std::abs(recording->duration - double(info.frames) / 16000) < 0.05);
        QVERIFY2(recording->duration > held - 0.5 && recording->duration < held + 0.1,
                 qPrintable(u"%1 s recorded, %2 s held"_s.arg(recording->duration).arg(held)));

        // The tone itself: its level and its pitch, which a wrong rate would shift.
        qsizetype first = -1, last = -1, crossings = 0, peak = 0;
        for (qsizetype i = 0; i < qsizetype(samples.size()); ++i) {
            peak = std::max<qsizetype>(peak, std::abs(samples[i]));
            if (std::abs(samples[i]) > 4000) {
                first = first < 0 ? i : first;
                last = i;
            }
        }
        for (qsizetype i = first + 1; first >= 0 && i <= last; ++i)
            crossings += (samples[i - 1] < 0) != (samples[i] < 0);
        QVERIFY2(peak > 12000 && peak < 20000, qPrintable(QString::number(peak)));
        const double toneSeconds = double(last - first) / 16000;
        QVERIFY2(toneSeconds > 0.9 && toneSeconds < 1.1, qPrintable(QString::number(toneSeconds)));
        const double hz = crossings / 2.0 / toneSeconds;
        QVERIFY2(std::abs(hz - toneHz) < 0.05 * toneHz, qPrintable(QString::number(hz)));

        // Unmeasured, it compares below any number.
        QVERIFY(recorder.startLatency() > 0.0 && recorder.startLatency() < 2.0);
        QVERIFY(QFile::remove(file.filePath()));

        // The second recording, from a microphone that is gone (unplugged since it was chosen),
        // records from the default: it reuses the source and measures its own start.
        QVERIFY(startRecording(recorder, u"no-such-microphone"_s));
        QTRY_VERIFY_WITH_TIMEOUT(recorder.startLatency().has_value(), 3000);
        QVERIFY(recorder.startLatency() > 0.0 && recorder.startLatency() < 2.0);
        QVERIFY(playTone([&] { return recorder.averagePowerLevel(); }) > -20);
        const Recording second = stopRecording(recorder);
        QVERIFY(second && second->duration > 0.3);
        QCOMPARE(recorder.sourceBuildCount(), 1);
        QVERIFY(QFile::remove(second->file));
    }

    // The guide's meter listens without recording: quiet at first, loud with the tone, and no
    // file anywhere.
    void levelWithoutRecording()
    {
        MicrophoneLevel level{QString()};
        QVERIFY(level.listening());
        float last = -200;
        connect(&level, &MicrophoneLevel::levelChanged, this, [&](float db) { last = db; });
        QTRY_VERIFY(last > -200);
        QTest::qWait(300);
        QVERIFY2(last < -60, qPrintable(QString::number(last)));
        QVERIFY(playTone([&] { return last; }) > -20);
        QVERIFY(recordings().isEmpty());
    }

    void stopBeforeCaptureDeliversNothing()
    {
        AudioRecorder recorder;
        bool atOnce = false;
        recorder.stop([&](const Recording &r) { atOnce = !r; });
        QVERIFY(atOnce);

        recorder.start(QString());
        QThread *calledOn = nullptr;
        QVERIFY(!stopRecording(recorder, &calledOn));
        QCOMPARE(calledOn, thread());
        QVERIFY(!recorder.isRecording());
        QCOMPARE(recordings(), QStringList());
    }

    // The inputs, as the recorder and the command line list them; the command line's trimming and
    // recording, and without the audio server nothing starts.
    void inputsAndTheCommandLine()
    {
        const AudioRecorder::Input vmic{u"vmic"_s, u"Virtual_Microphone"_s};
        const QList<AudioRecorder::Input> inputs = AudioRecorder::inputs();
        QVERIFY(inputs.contains(vmic));
        QCOMPARE(AudioRecorder::name(vmic.id), vmic.name);
        QCOMPARE(AudioRecorder::name(u"gone"_s), u"Not connected"_s);

        // The command line puts the system default (the empty id) before them, in their order.
        Run r = runApp({u"inputs"_s}, childEnvironment());
        QCOMPARE(r.code, 0);
        QStringList expected{u"\tSystem default"_s};
        for (const AudioRecorder::Input &input : inputs)
            expected.append(input.id + u'\t' + input.name);
        QCOMPARE(r.out.split(u'\n', Qt::SkipEmptyParts), expected);

        const QString input = m_files.filePath(u"vesk-cli.wav"_s);
        QVERIFY(WaveFiles::writeMono16k(input, toneAndSilence({1.0, 2.0, 1.0})));
        r = runApp({u"trim"_s, input, u"--keep"_s, u"0.5"_s}, childEnvironment());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(), AudioTrimmer::trimmedPath(input));
        SF_INFO info;
        QVERIFY(!WaveFiles::read<short>(r.out.trimmed(), info).empty());
        QCOMPARE(info.frames, sf_count_t(2.5 * 16000));

        const QString target = m_files.filePath(u"one second.wav"_s);
        r = runApp({u"record"_s, target, u"--seconds"_s, u"1"_s}, childEnvironment());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(u"recorded "_s), qPrintable(r.out));
        QVERIFY(r.out.trimmed().endsWith(target));
        QVERIFY(!WaveFiles::read<short>(target, info).empty());
        QCOMPARE(info.samplerate, 16000);
        QCOMPARE(info.channels, 1);
        QVERIFY2(info.frames > 12000 && info.frames < 20000,
                 qPrintable(QString::number(info.frames)));

        // Without the audio server nothing starts.
        QProcessEnvironment env = childEnvironment();
        env.insert(u"PULSE_SERVER"_s, u"unix:"_s + m_files.filePath(u"no-such-socket"_s));
        r = runApp({u"inputs"_s}, env);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"\tSystem default\n"_s);

        const QString never = m_files.filePath(u"never.wav"_s);
        // Within 10 s, or it is killed and has no exit code.
        r = runApp({u"record"_s, never, u"--seconds"_s, u"1"_s}, env, 10000);
        QCOMPARE(r.code, 1);
        // Qt adds its own warning before it.
        QCOMPARE(r.err.trimmed().split(u'\n').last(),
                 u"vesk-voice: The chosen microphone is not available. Pick another "
                 "one in Settings."_s);
        QVERIFY(!QFile::exists(never));
        QCOMPARE(recordings(), QStringList());
    }
};

QTEST_GUILESS_MAIN(RecorderTest)
#include "tst_recorder.moc"
