#include "audio/AudioTrimmer.h"
#include "LogMessages.h"
#include "TestSupport.h"
#include "WaveFiles.h"

#include <QtTest>
#include <cmath>
#include <cstring>
#include <sndfile.h>
#include <vector>

using AudioTrimmer::Outcome;

Q_DECLARE_METATYPE(std::vector<short>)

namespace {

constexpr int rate = 16000;
constexpr int window = 320; // 20 ms at 16 kHz

// Noise in pieces of (length, amplitude).
std::vector<short> pieces(const QList<QPair<int, int>> &lengthAndAmplitude, quint32 seed)
{
    std::vector<short> samples;
    for (const auto &[length, amplitude] : lengthAndAmplitude) {
        for (int i = 0; i < length; ++i) {
            seed = seed * 1664525u + 1013904223u;
            samples.push_back(short(int(seed >> 16) % (2 * amplitude + 1) - amplitude));
        }
    }
    return samples;
}

// Positive counts are frames of sound (about -17 dBFS), negative ones frames of quiet (about
// -79 dBFS). Both are noise, so that a frame kept from the wrong place never looks right.
std::vector<short> mono(const QList<int> &layout)
{
    QList<QPair<int, int>> lengthAndAmplitude;
    for (int piece : layout)
        lengthAndAmplitude.append({std::abs(piece), piece > 0 ? 8000 : 6});
    return pieces(lengthAndAmplitude, 7);
}

// The single-precision level of a window holding `count` copies of `x`, computed as documented.
float constantLevel(float x, int count)
{
    float sum = 0.0f;
    for (int i = 0; i < count; ++i)
        sum += x * x;
    const float rms = std::sqrt(sum / float(count));
    return rms > 0.0f ? 20.0f * std::log10(rms) : AudioTrimmer::silenceDb;
}

const QString readFailed = u"could not read the audio, sending it untrimmed"_s;

// The frames the streaming trimmer keeps of `samples`, handed to it in chunks of random sizes.
std::vector<short> streamed(const std::vector<short> &samples, double keep, int sampleRate,
                            quint32 seed)
{
    QRandomGenerator random(seed);
    AudioTrimmer::Stream stream(keep, sampleRate);
    std::vector<short> kept;
    for (size_t at = 0; at < samples.size();) {
        const size_t n = std::min(samples.size() - at, size_t(random.bounded(1, 2000)));
        stream.add(samples.data() + at, qsizetype(n), kept);
        at += n;
    }
    stream.finish(kept);
    if (qsizetype(kept.size()) != stream.framesKept() ||
        qsizetype(samples.size()) != stream.framesIn())
        return {-1}; // its counts disagree with what it handed on
    return kept;
}

} // namespace

class TrimmerTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase() { TestSupport::isolateDataDir(); }

    void keepsTheRightFrames_data()
    {
        QTest::addColumn<double>("keep");
        QTest::addColumn<QList<int>>("layout");
        QTest::addColumn<QList<int>>("kept"); // [start, end) pairs; none: nothing to cut
        QTest::addColumn<int>("present");     // frames in the file; 0: all its header promises

        const QList<int> pause{32000, -32000, 32000};
        QTest::newRow("keep 0.5: 32000-64000 leaves 32000-35999 and 60000-63999")
            << 0.5 << pause << QList<int>{0, 36000, 60000, 96000} << 0;
        for (const double keep : {0.0, -2.0, qQNaN()}) // the last two are taken for 0
            QTest::addRow("keep %g joins the sound", keep)
                << keep << pause << QList<int>{0, 32000, 64000, 96000} << 0;
        // 8001 frames of kept silence: the head takes 4000, the tail 4001.
        QTest::newRow("odd kept silence")
            << 0.5 + 1.0 / 8192 << pause << QList<int>{0, 36000, 59999, 96000} << 0;
        QTest::newRow("pauses at both ends")
            << 0.5 << QList<int>{-32000, 32000, -32000}
            << QList<int>{0, 4000, 28000, 68000, 92000, 96000} << 0;
        QTest::newRow("pause into a short last window")
            << 0.5 << QList<int>{32000, -32100} << QList<int>{0, 36000, 60100, 64100} << 0;
        QTest::newRow("data cut short of its header")
            << 0.5 << pause << QList<int>{0, 36000, 60000, 70000} << 70000;
        QTest::newRow("silence only, keep 0") << 0.0 << QList<int>{-32000} << QList<int>{} << 0;
        QTest::newRow("silence only, keep 0.5")
            << 0.5 << QList<int>{-32000} << QList<int>{0, 4000, 28000, 32000} << 0;

        // The minimum pause in windows for each keep: one window less stays whole.
        const QList<QPair<double, int>> minimum{{0, 20},   {0.05, 20}, {0.25, 28},
                                                {0.5, 40}, {1, 65},    {2, 115}};
        for (const auto &[keep, windows] : minimum) {
            const int quiet = windows * window;
            const int head = int(keep * rate) / 2;
            const int tail = int(keep * rate) - head;
            QTest::addRow("keep %g: %d quiet windows stay", keep, windows - 1)
                << keep << QList<int>{32000, -(quiet - window), 32000} << QList<int>{} << 0;
            QTest::addRow("keep %g: %d quiet windows are cut", keep, windows)
                << keep << QList<int>{32000, -quiet, 32000}
                << QList<int>{0, 32000 + head, 32000 + quiet - tail, 64000 + quiet} << 0;
        }
    }

    void keepsTheRightFrames()
    {
        QFETCH(double, keep);
        QFETCH(QList<int>, layout);
        QFETCH(QList<int>, kept);
        QFETCH(int, present);
        QTemporaryDir dir;
        const QString input = dir.filePath(u"vesk-1234.wav"_s);
        std::vector<short> samples = mono(layout);
        QVERIFY(WaveFiles::write(input, samples, rate, 1, SF_FORMAT_PCM_16));
        if (present) {
            QVERIFY(QFile::resize(input, 44 + present * 2));
            samples.resize(size_t(present));
        }
        const QByteArray before = TestSupport::readFile(input);
        const QString expectedPath = dir.filePath(u"vesk-1234.trimmed.wav"_s);

        Log::reset();
        QElapsedTimer clock;
        clock.start();
        const AudioTrimmer::Result result = AudioTrimmer::trim(input, keep);
        const qint64 tookMs = clock.elapsed();
        QCOMPARE(TestSupport::readFile(input), before);

        if (kept.isEmpty()) {
            QCOMPARE(result.outcome, Outcome::nothingToCut);
            QVERIFY(!QFile::exists(expectedPath));
            QCOMPARE(logMessages(), QStringList());
            return;
        }
        QCOMPARE(result.outcome, Outcome::trimmed);
        QCOMPARE(result.path, expectedPath);
        QCOMPARE(TestSupport::unixMode(expectedPath), 0600);

        std::vector<short> expected;
        for (qsizetype i = 0; i < kept.size(); i += 2)
            expected.insert(expected.end(), samples.begin() + kept[i],
                            samples.begin() + kept[i + 1]);
        SF_INFO info;
        const std::vector<short> output = WaveFiles::read<short>(expectedPath, info);
        QCOMPARE(info.samplerate, rate);
        QCOMPARE(info.channels, 1);
        QCOMPARE(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        QCOMPARE(output.size(), expected.size());
        const auto mismatch = std::mismatch(output.begin(), output.end(), expected.begin());
        QCOMPARE(mismatch.first - output.begin(), qsizetype(output.size()));

        const QStringList lines = logMessages();
        QCOMPARE(lines.size(), 1);
        static const QRegularExpression line(u"^trimmed silence in (\\d+)ms, (\\d+)% shorter$"_s);
        const QRegularExpressionMatch m = line.match(lines.first());
        QVERIFY2(m.hasMatch(), qPrintable(lines.first()));
        QVERIFY(m.captured(1).toLongLong() <= tookMs);
        const qint64 shorter = 100 - qint64(expected.size()) * 100 / qint64(samples.size());
        QCOMPARE(m.captured(2).toLongLong(), shorter);
    }

    // The trimming made as the audio arrives keeps exactly the frames the file trimmer keeps,
    // however the audio is cut into chunks.
    void theStreamKeepsWhatTheFileTrimKeeps_data()
    {
        QTest::addColumn<double>("keep");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<std::vector<short>>("samples");

        const auto row = [](const char *name, double keep, const std::vector<short> &samples) {
            QTest::newRow(name) << keep << rate << samples;
        };
        row("no pause", 0.25, mono({48000}));
        row("pause at the start", 0.25, mono({-32000, 32000}));
        row("pause at the end", 0.25, mono({32000, -32000}));
        row("pauses at both ends, keep 0.5", 0.5, mono({-32000, 32000, -32000}));
        row("keep 0", 0.0, mono({32000, -32000, 32000}));
        row("silence only, keep 0: all cut", 0.0, mono({-32000}));
        row("silence only, keep 0.5", 0.5, mono({-32000}));
        row("pause into a short last window", 0.5, mono({32000, -32100}));
        row("odd kept silence", 0.5 + 1.0 / 8192, mono({32000, -32000, 32000}));
        row("one frame", 0.25, mono({1}));
        row("empty", 0.25, {});
        for (const double keep : {0.0, 0.25, 0.5, 2.0}) {
            const int windows = int(AudioTrimmer::minimumPauseWindows(keep));
            for (const int quiet : {windows - 1, windows, windows + 1})
                QTest::addRow("keep %g, %d quiet windows against a minimum of %d", keep, quiet,
                              windows)
                    << keep << rate << mono({32000, -quiet * window, 32000});
        }
        // Noise whose windows fall on either side of -45 dBFS (about 184 in samples), pauses of
        // every length, keeps of every size, including a minimum pause that ends on the
        // recording's last, short window.
        QRandomGenerator random(11);
        for (int i = 0; i < 24; ++i) {
            QList<QPair<int, int>> layout;
            for (int p = int(random.bounded(1, 12)); p > 0; --p)
                layout.append({int(random.bounded(1, 40000)),
                               int(random.bounded(4)) == 0 ? 8000 : int(random.bounded(150, 400))});
            const double keeps[] = {0.0, 0.05, 0.1, 0.25, 0.5, 1.0, 3.0};
            QTest::addRow("random %d", i)
                << keeps[random.bounded(7)] << rate << pieces(layout, random.generate());
        }
        // The app's own sounds (44.1 kHz, 882-frame windows) with pauses of digital silence
        // between them.
        std::vector<short> sounds;
        const QString folder = qEnvironmentVariable("VESK_SOURCE_DIR") + u"/resources/sounds/"_s;
        int pause = 10000;
        for (const char *name : {"Tink", "Pop", "Funk", "Basso"}) {
            SF_INFO info;
            const std::vector<short> sound =
                WaveFiles::read<short>(folder + QLatin1String(name) + u".wav"_s, info);
            QVERIFY2(!sound.empty() && info.channels == 1 && info.samplerate == 44100, name);
            sounds.insert(sounds.end(), sound.begin(), sound.end());
            sounds.insert(sounds.end(), size_t(pause), short(0));
            pause *= 3;
        }
        for (const double keep : {0.0, 0.25, 1.0})
            QTest::addRow("the app's sounds, keep %g", keep) << keep << 44100 << sounds;
    }

    void theStreamKeepsWhatTheFileTrimKeeps()
    {
        QFETCH(double, keep);
        QFETCH(int, sampleRate);
        QFETCH(std::vector<short>, samples);
        QTemporaryDir dir;
        const QString input = dir.filePath(u"vesk-stream.wav"_s);
        QVERIFY(WaveFiles::write(input, samples, sampleRate, 1, SF_FORMAT_PCM_16));
        const AudioTrimmer::Result result = AudioTrimmer::trim(input, keep);
        std::vector<short> byFile;
        if (result.outcome == Outcome::trimmed) {
            SF_INFO info;
            byFile = WaveFiles::read<short>(result.path, info);
            QVERIFY(byFile.size() < samples.size());
        } else {
            QCOMPARE(result.outcome, samples.empty() ? Outcome::unreadable : Outcome::nothingToCut);
            byFile = samples;
        }
        for (const quint32 seed : {1u, 2u}) {
            const std::vector<short> byStream = streamed(samples, keep, sampleRate, seed);
            // Where nothing would be left, the file trimmer sends the recording whole: the
            // stream keeps nothing and its caller sends the file.
            if (byStream.empty() && !samples.empty()) {
                QCOMPARE(result.outcome, Outcome::nothingToCut);
                std::vector<float> first(samples.size());
                for (size_t i = 0; i < samples.size(); ++i)
                    first[i] = samples[i] / 32768.0f;
                const int w = std::max(1, int(sampleRate * 0.02));
                for (const float level :
                     AudioTrimmer::windowLevels(first.data(), int(first.size()), w))
                    QVERIFY(level < AudioTrimmer::quietBelowDb);
                continue;
            }
            QCOMPARE(byStream.size(), byFile.size());
            QVERIFY(byStream == byFile);
        }
    }

    // Each level is the single-precision sum of its window's squares in frame order, whatever
    // the count: full blocks of windows, a ragged last window, fewer windows than a block.
    void levelsAreTheSequentialSums()
    {
        QRandomGenerator random(7);
        for (const int count : {1, 319, 320, 2560, 2561, 2879, 16000 * 3 + 17}) {
            std::vector<float> x(static_cast<size_t>(count));
            for (float &v : x)
                v = float(random.bounded(2.0) - 1.0);
            std::vector<float> expected;
            for (int s = 0; s < count; s += window) {
                const int e = std::min(s + window, count);
                float sum = 0.0f;
                for (int k = s; k < e; ++k)
                    sum += x[size_t(k)] * x[size_t(k)];
                expected.push_back(20.0f * std::log10(std::sqrt(sum / float(e - s))));
            }
            QCOMPARE(AudioTrimmer::windowLevels(x.data(), count, window), expected);
        }
    }

    void windowAtExactlyTheThresholdIsSound_data()
    {
        QTest::addColumn<bool>("exact");
        QTest::newRow("at -45.0 dB the pause is split") << true;
        QTest::newRow("just below, it is cut") << false;
    }

    void windowAtExactlyTheThresholdIsSound()
    {
        QFETCH(bool, exact);
        // The quietest constant sample whose window level is -45.0 dB or more.
        float x = std::pow(10.0f, -45.0f / 20.0f);
        while (constantLevel(x, window) >= -45.0f)
            x = std::nextafter(x, 0.0f);
        while (constantLevel(x, window) < -45.0f)
            x = std::nextafter(x, 1.0f);
        QCOMPARE(constantLevel(x, window), -45.0f);
        const std::vector<float> one(window, x);
        QCOMPARE(AudioTrimmer::windowLevels(one.data(), window, window),
                 std::vector<float>{-45.0f});
        if (!exact)
            x = std::nextafter(x, 0.0f);

        // 39 windows of silence between two at the level: one window short of the 40 of keep 0.5,
        // unless a window at the level is taken for quiet.
        std::vector<float> samples;
        for (short s : mono({32000}))
            samples.push_back(s / 32768.0f);
        samples.insert(samples.end(), window, x);
        samples.insert(samples.end(), 39 * window, 0.0f);
        samples.insert(samples.end(), window, x);
        for (short s : mono({32000}))
            samples.push_back(s / 32768.0f);
        const QString input = file(u"threshold.wav"_s);
        QFile::remove(AudioTrimmer::trimmedPath(input));
        QVERIFY(WaveFiles::write(input, samples, rate, 1, SF_FORMAT_FLOAT));
        QCOMPARE(AudioTrimmer::trim(input, 0.5).outcome,
                 exact ? Outcome::nothingToCut : Outcome::trimmed);
    }

    void twoChannelsAreCutByTheFirst()
    {
        // 44.1 kHz: 882-frame windows. The first channel pauses in its middle second; the second
        // is quiet only while the first sounds, which must cut nothing.
        constexpr int second = 44100;
        const std::vector<short> left = mono({second, -second, second});
        const std::vector<short> right = mono({-second, 2 * second});
        std::vector<float> frames;
        for (size_t i = 0; i < left.size(); ++i) {
            frames.push_back(left[i] / 32768.0f);
            frames.push_back(right[i] / 32768.0f);
        }
        const QString input = file(u"stereo.wav"_s);
        QVERIFY(WaveFiles::write(input, frames, second, 2, SF_FORMAT_FLOAT));

        const AudioTrimmer::Result result = AudioTrimmer::trim(input, 0);
        QCOMPARE(result.outcome, Outcome::trimmed);
        QCOMPARE(result.path, file(u"stereo.trimmed.wav"_s));
        SF_INFO info;
        const std::vector<float> output = WaveFiles::read<float>(result.path, info);
        QCOMPARE(info.samplerate, second);
        QCOMPARE(info.channels, 2);
        QCOMPARE(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        std::vector<float> expected(frames.begin(), frames.begin() + 2 * second);
        expected.insert(expected.end(), frames.begin() + 4 * second, frames.end());
        QCOMPARE(output.size(), expected.size());
        QVERIFY(std::memcmp(output.data(), expected.data(), output.size() * sizeof(float)) == 0);
    }

    void unreadableInputFallsBack_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<QString>("reason");   // empty: any
        const QString valid = file(u"valid.wav"_s);
        QVERIFY(WaveFiles::write(valid, mono({32000, -32000, 32000}), rate, 1, SF_FORMAT_PCM_16));
        const QByteArray wav = TestSupport::readFile(valid);
        QTest::newRow("missing file") << QByteArray() << QString();
        QTest::newRow("not audio")
            << "RIFF but no WAVE at all, just some text here."_ba << QString();
        QTest::newRow("header cut short") << wav.left(20) << QString();
        QTest::newRow("header without samples") << wav.left(44) << QString();
        // The sample rate and the byte rate of the format chunk.
        QTest::newRow("sample rate 0") << wav.left(24) + QByteArray(8, '\0') + wav.mid(32)
                                       << "its header gives no usable sample rate or channel count";
    }

    void unreadableInputFallsBack()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString input = file(u"broken.wav"_s);
        QFile::remove(input);
        if (!bytes.isEmpty())
            TestSupport::writeFile(input, bytes);
        Log::reset();
        const AudioTrimmer::Result result = AudioTrimmer::trim(input, 0);
        QCOMPARE(result.outcome, Outcome::unreadable);
        QVERIFY(!result.error.isEmpty());
        if (!reason.isEmpty())
            QCOMPARE(result.error, reason);
        // Only the dictation's fallback sends the recording on untrimmed, and says so.
        QCOMPARE(logMessages(), QStringList());
        QCOMPARE(AudioTrimmer::trimSilence(input, 0), std::nullopt);
        QCOMPARE(logMessages(), QStringList({readFailed}));
        QCOMPARE(QFile::exists(input), !bytes.isEmpty());
        if (!bytes.isEmpty())
            QCOMPARE(TestSupport::readFile(input), bytes);
        QVERIFY(!QFile::exists(file(u"broken.trimmed.wav"_s)));
    }

    void failedWriteLeavesNoFile()
    {
        QTemporaryDir dir;
        // A name the file system takes, whose trimmed copy's name is too long for it.
        const QString name = QString(240, u'v');
        const QString input = dir.filePath(name + u".wav"_s);
        QVERIFY(WaveFiles::write(input, mono({32000, -32000, 32000}), rate, 1, SF_FORMAT_PCM_16));
        const QByteArray before = TestSupport::readFile(input);
        Log::reset();
        const AudioTrimmer::Result result = AudioTrimmer::trim(input, 0.5);
        QCOMPARE(result.outcome, Outcome::writeFailed);
        const QStringList lines = logMessages();
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first(), u"could not write the trimmed audio: "_s + result.error);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{name + u".wav"_s});
        QCOMPARE(TestSupport::readFile(input), before);
    }
};

QTEST_GUILESS_MAIN(TrimmerTest)
#include "tst_trimmer.moc"
