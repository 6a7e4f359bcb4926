// The time from AudioRecorder::start() to the first captured frame, for the first recording of a
// recorder (the capture source is built) and for its second (the source is kept). Needs an audio
// server with a default input.
//
//   recorder_latency [ROUNDS]     (default: 5; each round uses a new recorder)

#include "audio/AudioRecorder.h"
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The latency itself is taken on the audio thread, so how often the waits look does not change
// it.
using Bench::median;
using Bench::waitFor;

// One recording of about 0.3 s; the start latency in ms, or a negative number on failure.
double recordOnce(AudioRecorder &recorder)
{
    bool started = false, failed = false, stopped = false;
    recorder.start(QString(), [&](const std::optional<AudioRecorder::Failure> &f) {
        started = true;
        failed = f.has_value();
        if (f)
            std::fprintf(stderr, "recorder_latency: %s\n", qPrintable(f->errorDescription()));
    });
    if (!waitFor([&] { return started; }, 5000, 1) || failed)
        return -1;
    if (!waitFor([&] { return recorder.startLatency().has_value(); }, 5000, 1))
        return -1;
    const double latency = *recorder.startLatency() * 1000;
    waitFor([] { return false; }, 300, 1);
    recorder.stop([&](const std::optional<AudioRecorder::Recording> &r) {
        stopped = true;
        if (r)
            QFile::remove(r->file);
    });
    return waitFor([&] { return stopped; }, 5000, 1) ? latency : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 5;
    if (rounds < 1)
        return 2;
    std::vector<double> first, second;
    for (int i = 0; i < rounds; ++i) {
        AudioRecorder recorder;
        first.push_back(recordOnce(recorder));
        second.push_back(recordOnce(recorder));
        if (first.back() < 0 || second.back() < 0)
            return 1;
    }
    std::printf("%-22s %10s %10s %10s\n", "start to first frame", "median ms", "min ms", "max ms");
    for (const auto &[label, v] :
         {std::pair{"first recording", first}, std::pair{"second recording", second}})
        std::printf("%-22s %10.1f %10.1f %10.1f\n", label, median(v),
                    *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    std::printf("median of %d rounds, each with a new recorder\n", rounds);
    return 0;
}
