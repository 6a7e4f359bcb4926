// Builds the generate-content request for recordings of the given lengths and compares the time
// with `base64 -w0` of the same file, in the same run.
//
//   request_body [SECONDS...]     (default: 60 600)

#include "BenchSupport.h"
#include "transcription/GeminiClient.h"
#include "transcription/GeminiRequests.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int runs = 7;

// A 16 kHz mono 16-bit WAVE file of noise: incompressible, like speech for Base64's purposes.
QByteArray wave(int seconds)
{
    const quint32 dataBytes = quint32(seconds) * 16000 * 2;
    QByteArray out(44 + qsizetype(dataBytes), Qt::Uninitialized);
    auto put32 = [&](int at, quint32 v) { std::memcpy(out.data() + at, &v, 4); };
    auto put16 = [&](int at, quint16 v) { std::memcpy(out.data() + at, &v, 2); };
    std::memcpy(out.data(), "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(out.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 1);
    put32(24, 16000);
    put32(28, 32000);
    put16(32, 2);
    put16(34, 16);
    std::memcpy(out.data() + 36, "data", 4);
    put32(40, dataBytes);
    QRandomGenerator rng(42);
    rng.fillRange(reinterpret_cast<quint32 *>(out.data() + 44), dataBytes / 4);
    return out;
}

template <typename F> double medianMs(F f)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return Bench::median(times);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList lengths = app.arguments().mid(1);
    if (lengths.isEmpty())
        lengths = {QStringLiteral("60"), QStringLiteral("600")};

    QTemporaryDir dir;
    GeminiClient client;
    client.apiKey = QStringLiteral("bench");
    client.model = QStringLiteral("gemini-3.7-flash");
    client.languageCodes = {QStringLiteral("uz-UZ"), QStringLiteral("ru-RU"),
                            QStringLiteral("en-US")};

    std::printf("%-8s %10s %12s %10s %14s %8s\n", "seconds", "file MB", "request ms", "build ms",
                "base64 -w0 ms", "ratio");
    for (const QString &length : lengths) {
        const QByteArray audio = wave(length.toInt());
        const QString path = dir.filePath(length + QStringLiteral(".wav"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(audio) != audio.size())
            return 1;
        file.close();

        qsizetype bodySize = 0;
        // Reading the file is part of what a dictation does before the request exists.
        const double request = medianMs([&] {
            const auto built = GeminiRequests::transcriptionRequest(
                client, GeminiRequests::readAudio(path).value());
            bodySize = built.value().body.size();
        });
        // The same without the file read: the encoding and the body alone.
        const double build = medianMs([&] {
            bodySize = GeminiRequests::transcriptionRequest(client, audio).value().body.size();
        });
        const double base64 = medianMs([&] {
            QProcess p;
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(QStringLiteral("base64"), {QStringLiteral("-w0"), path});
            p.waitForFinished(-1);
        });
        std::printf("%-8s %10.1f %12.1f %10.1f %14.1f %8.2f\n", qPrintable(length),
                    double(audio.size()) / 1e6, request, build, base64, base64 / request);
        if (bodySize < audio.size() * 4 / 3)
            return 1;
    }
    std::printf("request: read the file and build the body; build: the body from bytes in memory;\n"
                "ratio = base64 -w0 time / request time (above 1: the request is faster)\n");
    return 0;
}
