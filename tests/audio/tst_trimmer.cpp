#include "audio/AudioTrimmer.h"
#include "LogMessages.h"
#include "TestSupport.h"
#include "WaveFiles.h"

#include <QtTest>
#include <cmath>
#include <sndfile.h>
#include <vector>

using AudioTrimmer::Outcome;

Q_DECLARE_METATYPE(std::vector<short>)
Q_DECLARE_METATYPE(AudioTrimmer::Outcome)

namespace {

constexpr int rate = 16000;
constexpr int window = 320; // 20 ms at 16 kHz

// Positive counts are frames of sound (about -17 dBFS), negative ones frames of quiet (about
// -79 dBFS). Both are noise, so that a frame kept from the wrong place never looks right.
std::vector<short> mono(const QList<int> &layout)
{
    QList<std::pair<int, int>> framesAndAmplitude;
    for (int piece : layout)
        framesAndAmplitude.append({std::abs(piece), piece > 0 ? 8000 : 6});
    return WaveFiles::noise(framesAndAmplitude, 7);
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

    // What the file trimmer keeps, where the row knows it, and that the trimming made as the
    // audio arrives keeps exactly the same frames, however the audio is cut into chunks.
    void keepsTheRightFrames_data()
    {
        QTest::addColumn<double>("keep");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<std::vector<short>>("samples");
        QTest::addColumn<QList<int>>("kept"); // [start, end) pairs; none: nothing to cut; -1: any
        QTest::addColumn<int>("present");     // frames in the file; 0: all its header promises
        const auto row = [](const char *name, double keep, const std::vector<short> &samples,
                            const QList<int> &kept = {-1}, int present = 0) {
            QTest::newRow(name) << keep << rate << samples << kept << present;
        };
        const std::vector<short> pause = mono({32000, -32000, 32000});
        row("keep 0.5: 32000-64000 leaves 32000-35999 and 60000-63999", 0.5, pause,
            {0, 36000, 60000, 96000});
        for (const double keep : {0.0, -2.0, qQNaN()}) // the last two are taken for 0
            QTest::addRow("keep %g joins the sound", keep)
                << keep << rate << pause << QList<int>{0, 32000, 64000, 96000} << 0;
        // 8001 frames of kept silence: the head takes 4000, the tail 4001.
        row("odd kept silence", 0.5 + 1.0 / 8192, pause, {0, 36000, 59999, 96000});
        row("pauses at both ends", 0.5, mono({-32000, 32000, -32000}),
            {0, 4000, 28000, 68000, 92000, 96000});
        row("pause at the start", 0.25, mono({-32000, 32000}), {0, 2000, 30000, 64000});
        row("pause at the end", 0.25, mono({32000, -32000}), {0, 34000, 62000, 64000});
        row("pause into a short last window", 0.5, mono({32000, -32100}), {0, 36000, 60100, 64100});
        row("data cut short of its header", 0.5, pause, {0, 36000, 60000, 70000}, 70000);
        row("silence only, keep 0", 0.0, mono({-32000}), {});
        row("silence only, keep 0.5", 0.5, mono({-32000}), {0, 4000, 28000, 32000});
        row("no pause", 0.25, mono({48000}), {});
        row("one frame", 0.25, mono({1}), {});
        row("empty", 0.25, {});

        // The minimum pause in windows for each keep: one window less stays whole.
        const QList<QPair<double, int>> minimum{{0, 20},   {0.05, 20}, {0.25, 28},
                                                {0.5, 40}, {1, 65},    {2, 115}};
        for (const auto &[keep, windows] : minimum) {
            const int head = int(keep * rate) / 2;
            const int tail = int(keep * rate) - head;
            for (const int quiet : {windows - 1, windows, windows + 1}) {
                const int frames = quiet * window;
                QTest::addRow("keep %g, %d quiet windows against a minimum of %d", keep, quiet,
                              windows)
                    << keep << rate << mono({32000, -frames, 32000})
                    << (quiet < windows
                            ? QList<int>{}
                            : QList<int>{0, 32000 + head, 32000 + frames - tail, 64000 + frames})
                    << 0;
            }
        }
        // Noise whose windows fall on either side of -45 dBFS (about 184 in samples), digital
        // silence, pauses of every length, keeps of every size, including a minimum pause that ends
        // on the recording's last, short window; a third of them at 44.1 kHz (882-frame windows).
        QRandomGenerator random(11);
        for (int i = 0; i < 30; ++i) {
            QList<std::pair<int, int>> layout;
            for (int p = int(random.bounded(1, 12)); p > 0; --p) {
                const int kind = int(random.bounded(6));
                layout.append({int(random.bounded(1, 40000)), kind == 0 ? 8000
                                                              : kind == 1
                                                                  ? 0
                                                                  : int(random.bounded(150, 400))});
            }
            const double keeps[] = {0.0, 0.05, 0.1, 0.25, 0.5, 1.0, 3.0};
            const int sampleRate = i % 3 == 2 ? 44100 : rate;
            QTest::addRow("random %d, %d Hz", i, sampleRate)
                << keeps[random.bounded(7)] << sampleRate
                << WaveFiles::noise(layout, random.generate()) << QList<int>{-1} << 0;
        }
    }

    void keepsTheRightFrames()
    {
        QFETCH(double, keep);
        QFETCH(int, sampleRate);
        QFETCH(std::vector<short>, samples);
        QFETCH(QList<int>, kept);
        QFETCH(int, present);
        QTemporaryDir dir;
        const QString input = dir.filePath(u"vesk-1234.wav"_s);
        QVERIFY(WaveFiles::write(input, samples, sampleRate, 1, SF_FORMAT_PCM_16));
        if (present) {
            QVERIFY(QFile::resize(input, 44 + present * 2));
            samples.resize(size_t(present));
        }
        const QByteArray before = TestSupport::readFile(input);
        const QString trimmedPath = dir.filePath(u"vesk-1234.trimmed.wav"_s);

        Log::reset();
        QElapsedTimer clock;
        clock.start();
        const AudioTrimmer::Result result = AudioTrimmer::trim(input, keep);
        const qint64 tookMs = clock.elapsed();
        QCOMPARE(TestSupport::readFile(input), before);
        std::vector<short> byFile = samples;
        if (result.outcome == Outcome::trimmed) {
            QCOMPARE(result.path, trimmedPath);
            QCOMPARE(TestSupport::unixMode(trimmedPath), 0600);
            SF_INFO info;
            byFile = WaveFiles::read<short>(trimmedPath, info);
            QCOMPARE(info.samplerate, sampleRate);
            QCOMPARE(info.channels, 1);
            QCOMPARE(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
            QVERIFY(byFile.size() < samples.size());
            const QStringList lines = logMessages();
            QCOMPARE(lines.size(), 1);
            static const QRegularExpression line(
                u"^trimmed silence in (\\d+)ms, (\\d+)% shorter$"_s);
            const QRegularExpressionMatch m = line.match(lines.first());
            QVERIFY2(m.hasMatch(), qPrintable(lines.first()));
            QVERIFY(m.captured(1).toLongLong() <= tookMs);
            QCOMPARE(m.captured(2).toLongLong(),
                     100 - qint64(byFile.size()) * 100 / qint64(samples.size()));
        } else {
            QCOMPARE(result.outcome, samples.empty() ? Outcome::unreadable : Outcome::nothingToCut);
            QVERIFY(!QFile::exists(trimmedPath));
            QCOMPARE(logMessages(), QStringList());
        }
        if (kept != QList<int>{-1}) {
            QCOMPARE(result.outcome, kept.isEmpty() ? Outcome::nothingToCut : Outcome::trimmed);
            std::vector<short> expected = kept.isEmpty() ? samples : std::vector<short>();
            for (qsizetype i = 0; i < kept.size(); i += 2)
                expected.insert(expected.end(), samples.begin() + kept[i],
                                samples.begin() + kept[i + 1]);
            QCOMPARE(byFile, expected);
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
            QCOMPARE(byStream, byFile);
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

    // A window at exactly -45.0 dB is sound: it splits the pause; just below, the pause is cut.
    void windowAtExactlyTheThresholdIsSound()
    {
        // The quietest constant sample whose window level is -45.0 dB or more, by the levels that
        // levelsAreTheSequentialSums holds to the documented sums.
        const auto constantLevel = [](float x) {
            const std::vector<float> same(window, x);
            return AudioTrimmer::windowLevels(same.data(), window, window).front();
        };
        float x = std::pow(10.0f, -45.0f / 20.0f);
        while (constantLevel(x) >= -45.0f)
            x = std::nextafter(x, 0.0f);
        while (constantLevel(x) < -45.0f)
            x = std::nextafter(x, 1.0f);
        QCOMPARE(constantLevel(x), -45.0f);
        // 39 windows of silence between two at the level: one window short of the 40 of keep 0.5,
        // unless a window at the level is taken for quiet.
        std::vector<float> sound;
        for (short s : mono({32000}))
            sound.push_back(s / 32768.0f);
        for (const bool exact : {true, false}) {
            const float edge = exact ? x : std::nextafter(x, 0.0f);
            std::vector<float> samples = sound;
            samples.insert(samples.end(), window, edge);
            samples.insert(samples.end(), 39 * window, 0.0f);
            samples.insert(samples.end(), window, edge);
            samples.insert(samples.end(), sound.begin(), sound.end());
            const QString input = file(u"threshold.wav"_s);
            QFile::remove(AudioTrimmer::trimmedPath(input));
            QVERIFY(WaveFiles::write(input, samples, rate, 1, SF_FORMAT_FLOAT));
            QCOMPARE(AudioTrimmer::trim(input, 0.5).outcome,
                     exact ? Outcome::nothingToCut : Outcome::trimmed);
        }
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
        QCOMPARE(output, expected);
    }

    // A recording that cannot be read, or whose trimmed copy cannot be written, is left as it is
    // with nothing beside it; only the dictation's fallback sends an unreadable one on untrimmed,
    // and says so.
    void failuresLeaveTheRecordingAlone_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<QString>("name");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("reason"); // empty: any
        const QString valid = file(u"valid.wav"_s);
        QVERIFY(WaveFiles::write(valid, mono({32000, -32000, 32000}), rate, 1, SF_FORMAT_PCM_16));
        const QByteArray wav = TestSupport::readFile(valid);
        const auto unreadable = [](const char *row, const QByteArray &bytes,
                                   const QString &reason = QString()) {
            QTest::newRow(row) << bytes << u"broken"_s << Outcome::unreadable << reason;
        };
        unreadable("missing file", QByteArray());
        unreadable("not audio", "RIFF but no WAVE at all, just some text here."_ba);
        unreadable("header cut short", wav.left(20));
        unreadable("header without samples", wav.left(44));
        // The sample rate and the byte rate of the format chunk.
        unreadable("sample rate 0", wav.left(24) + QByteArray(8, '\0') + wav.mid(32),
                   u"its header gives no usable sample rate or channel count"_s);
        // A name the file system takes, whose trimmed copy's name is too long for it.
        QTest::newRow("copy's name too long")
            << wav << QString(240, u'v') << Outcome::writeFailed << QString();
    }

    void failuresLeaveTheRecordingAlone()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(Outcome, outcome);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString input = dir.filePath(name + u".wav"_s);
        if (!bytes.isEmpty())
            TestSupport::writeFile(input, bytes);
        Log::reset();
        const AudioTrimmer::Result result = AudioTrimmer::trim(input, 0.5);
        QCOMPARE(result.outcome, outcome);
        QVERIFY(!result.error.isEmpty());
        if (!reason.isEmpty())
            QCOMPARE(result.error, reason);
        const QStringList said =
            outcome == Outcome::writeFailed
                ? QStringList{u"could not write the trimmed audio: "_s + result.error}
                : QStringList();
        QCOMPARE(logMessages(), said);
        QCOMPARE(AudioTrimmer::trimSilence(input, 0.5), std::nullopt);
        QCOMPARE(logMessages(),
                 outcome == Outcome::unreadable ? QStringList{readFailed} : said + said);
        QCOMPARE(TestSupport::readFile(input), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 bytes.isEmpty() ? QStringList() : QStringList{name + u".wav"_s});
    }
};

QTEST_GUILESS_MAIN(TrimmerTest)
#include "tst_trimmer.moc"
