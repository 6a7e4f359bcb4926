// Cuts the pauses out of a 10-minute speech-like recording with AudioTrimmer and with sox's
// silence effect on the same file, in the same run.
//
//   trim [SECONDS]     (default: 600)

#include "BenchSupport.h"
#include "audio/AudioTrimmer.h"
#include "WaveFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sndfile.h>
#include <vector>

namespace {

constexpr int runs = 5;
constexpr int rate = 16000;
constexpr double keepSeconds = 0.5; // sox below leaves 0.5 s of each pause it shortens

// Voiced bursts (two harmonics, syllable envelope) of 0.3-2.5 s between pauses, most of them too
// short to cut (0.1-0.4 s), the rest 0.6-2.5 s; low room noise throughout.
std::vector<short> speechLike(int seconds)
{
    std::vector<short> samples;
    samples.reserve(size_t(seconds) * rate);
    quint32 seed = 12345;
    const auto uniform = [&seed](double low, double high) {
        seed = seed * 1664525u + 1013904223u;
        return low + (high - low) * double(seed >> 8) / double(1u << 24);
    };
    const size_t total = size_t(seconds) * rate;
    while (samples.size() < total) {
        const int burst = int(uniform(0.3, 2.5) * rate);
        const double pitch = uniform(100, 250);
        const double syllables = uniform(3, 6);
        for (int i = 0; i < burst; ++i) {
            const double t = double(i) / rate;
            const double envelope = 0.15 + 0.85 * std::pow(std::sin(M_PI * syllables * t), 2);
            const double voice =
                0.6 * std::sin(2 * M_PI * pitch * t) + 0.3 * std::sin(2 * M_PI * 2.02 * pitch * t);
            samples.push_back(short(12000 * envelope * voice + uniform(-20, 20)));
        }
        const double pause = uniform(0, 1) < 0.6 ? uniform(0.1, 0.4) : uniform(0.6, 2.5);
        for (int i = 0; i < int(pause * rate); ++i)
            samples.push_back(short(uniform(-20, 20)));
    }
    samples.resize(total);
    return samples;
}

double seconds(const QString &path)
{
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return -1;
    sf_close(f);
    return double(info.frames) / info.samplerate;
}

// `prepare` runs before each timed run, outside the time: removing the previous run's output
// is the file system's work, not the tool's.
template <typename P, typename F> double medianMs(P prepare, F f)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        if (!f())
            return -1;
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return Bench::median(times);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int length = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 600;
    if (length < 1)
        return 2;
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("vesk-bench.wav"));
    const QString soxOutput = dir.filePath(QStringLiteral("sox.wav"));
    if (!WaveFiles::writeMono16k(input, speechLike(length)))
        return 1;

    QString trimmed;
    const double ours = medianMs([&] { QFile::remove(AudioTrimmer::trimmedPath(input)); },
                                 [&] {
                                     const AudioTrimmer::Result result =
                                         AudioTrimmer::trim(input, keepSeconds);
                                     trimmed = result.path;
                                     return result.outcome == AudioTrimmer::Outcome::trimmed;
                                 });
    const double sox =
        medianMs([&] { QFile::remove(soxOutput); },
                 [&] {
                     QProcess p;
                     p.start(QStringLiteral("sox"),
                             {input, soxOutput, QStringLiteral("silence"), QStringLiteral("-l"),
                              QStringLiteral("1"), QStringLiteral("0.1"), QStringLiteral("1%"),
                              QStringLiteral("-1"), QStringLiteral("0.5"), QStringLiteral("1%")});
                     return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit &&
                            p.exitCode() == 0;
                 });
    if (ours < 0 || sox < 0) {
        std::fprintf(stderr, "trim: %s failed\n", ours < 0 ? "AudioTrimmer" : "sox");
        return 1;
    }

    std::printf("%-14s %10s %12s\n", "", "median ms", "output s");
    std::printf("%-14s %10.1f %12.1f\n", "AudioTrimmer", ours, seconds(trimmed));
    std::printf("%-14s %10.1f %12.1f\n", "sox silence", sox, seconds(soxOutput));
    std::printf("input %d s, 16 kHz mono 16-bit; keep %.2f s; ratio = sox / AudioTrimmer = %.2f\n",
                length, keepSeconds, sox / ours);
    std::printf("real-time factor: AudioTrimmer %.0f, sox %.0f (seconds of audio per second)\n",
                length / (ours / 1000.0), length / (sox / 1000.0));
    return 0;
}
