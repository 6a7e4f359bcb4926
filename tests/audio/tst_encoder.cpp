#include "audio/AudioEncoder.h"
#include "TestSupport.h"
#include "WaveFiles.h"

#include <QtTest>
#include <sndfile.h>
#include <vector>

namespace {

// Speech-like noise: loud stretches and quiet ones, so the encoders see both.
std::vector<short> noise(int frames)
{
    QList<std::pair<int, int>> layout;
    for (int at = 0; at < frames; at += 8000)
        layout.append({std::min(8000, frames - at), (at / 8000) % 3 == 2 ? 30 : 9000});
    return WaveFiles::noise(layout, quint32(frames));
}

} // namespace

class EncoderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Encoded as the audio arrives, in chunks of any size, the result is the one the whole
    // recording gives: FLAC byte for byte, Ogg Vorbis of the same length with its first and last
    // frames in place.
    void theStreamEncodesAsTheWholeRecording_data()
    {
        QTest::addColumn<bool>("flac");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("largestChunk");
        for (const bool flac : {true, false}) {
            const char *name = flac ? "FLAC" : "Ogg";
            QTest::addRow("%s, 20 ms chunks", name) << flac << 16000 * 7 + 123 << 320;
            QTest::addRow("%s, chunks of any size", name) << flac << 16000 * 5 << 5000;
            QTest::addRow("%s, one frame", name) << flac << 1 << 1;
        }
    }

    void theStreamEncodesAsTheWholeRecording()
    {
        QFETCH(bool, flac);
        QFETCH(int, frames);
        QFETCH(int, largestChunk);
        const std::vector<short> samples = noise(frames);
        QTemporaryDir dir;
        QVERIFY(WaveFiles::writeMono16k(dir.filePath(u"in.wav"_s), samples));
        const QByteArray wav = TestSupport::readFile(dir.filePath(u"in.wav"_s));

        AudioEncoder::Stream stream(flac ? AudioEncoder::Format::flac : AudioEncoder::Format::ogg,
                                    16000);
        QRandomGenerator random(3);
        for (size_t at = 0; at < samples.size();) {
            const size_t n =
                std::min(samples.size() - at, size_t(random.bounded(1, largestChunk + 1)));
            QVERIFY(stream.write(samples.data() + at, qsizetype(n)));
            at += n;
        }
        const AudioEncoder::Encoded byStream = stream.finish();
        QVERIFY2(byStream.ok(), qPrintable(byStream.error));
        QVERIFY(!stream.finish().ok()); // once only
        QVERIFY(!stream.write(samples.data(), 1));

        const AudioEncoder::Encoded whole =
            flac ? AudioEncoder::toFlac(wav) : AudioEncoder::toOgg(wav);
        QVERIFY(whole.ok());
        if (flac)
            QCOMPARE(byStream.bytes, whole.bytes);
        SF_INFO info;
        const std::vector<short> out = WaveFiles::decode(byStream.bytes, dir.path(), info);
        QCOMPARE(info.samplerate, 16000);
        QCOMPARE(info.channels, 1);
        QCOMPARE(out.size(), samples.size());
        if (flac)
            return;
        const std::vector<short> reference = WaveFiles::decode(whole.bytes, dir.path(), info);
        QCOMPARE(reference.size(), samples.size());
        // Vorbis is not sample-exact, and other chunks change its blocks a little: the stream is
        // as close to the input as the whole recording's encoding, and in place at both ends
        // (one frame off, the noise would differ by twice its power; Vorbis at a speech bitrate
        // leaves a fifth of it).
        const size_t edge = std::min<size_t>(samples.size(), 2000);
        for (const size_t from : {size_t(0), samples.size() - edge}) {
            double byStreamError = 0, wholeError = 0, signal = 0;
            for (size_t i = from; i < from + edge; ++i) {
                byStreamError += std::pow(double(out[i]) - double(samples[i]), 2);
                wholeError += std::pow(double(reference[i]) - double(samples[i]), 2);
                signal += std::pow(double(samples[i]), 2);
            }
            QVERIFY2(byStreamError <= 1.5 * wholeError + double(edge) &&
                         byStreamError <= 0.5 * signal + double(edge),
                     qPrintable(QString::asprintf("errors %g and %g, signal %g at %zu",
                                                  byStreamError, wholeError, signal, from)));
        }
    }
};

QTEST_GUILESS_MAIN(EncoderTest)
#include "tst_encoder.moc"
