// Key release to text for a 30-second dictation over a slow link: the fake Gemini server speaks
// TLS with a certificate made here, behind an HTTP CONNECT proxy run here that adds 100 ms of
// round-trip time and lets 10 Mbit/s up. The app reaches the proxy through https_proxy, as a user
// behind one would set it, and trusts the certificate in this process only.
//
// Measures the transcription as the app runs it (the dictation's transcriber on its worker
// thread), not the whole app: "release" is the call that hands over the finished recording,
// "text" is the answer back on the main thread. Compared in one run:
//   cold  - a new network session for each request, nothing opened ahead (as the app did before);
//   warm  - the app's one session, opened while the user speaks.
// each with the recording sent as WAV and as FLAC, and the warm session with Ogg Vorbis.
//
// Then live against batch at 10, 60 and 300 s of speech (--lengths): a live model's session
// hears the speech as it is spoken (fed at the capture's pace, --pace times faster) and at
// release only waits for the final text; the batch request sends the whole file at release,
// encoded to Ogg Vorbis after release or while the user speaks.
#include "audio/AudioEncoder.h"
#include "BenchSupport.h"
#include "records/Config.h"
#include "FakeGeminiServer.h"
#include "FakeLiveServer.h"
#include "transcription/GeminiClient.h"
#include "transcription/GeminiRequests.h"
#include "app/services/GeminiTranscriber.h"
#include "transcription/GeminiTranscription.h"
#include "WaveFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <random>
#include <vector>

namespace {

using Bench::median;
using Bench::waitFor;

constexpr int oneWayMs = 50;                        // 100 ms round trip
constexpr double uplinkBytesPerMs = 10e6 / 8 / 1e3; // 10 Mbit/s
const QString serviceHost = QStringLiteral("gemini.bench.invalid");

// An HTTP CONNECT proxy at the far end of a slow link: whatever the client sends arrives
// oneWayMs later and no faster than the uplink carries it; whatever comes back arrives oneWayMs
// later. Every tunnel goes to 127.0.0.1, whatever host the client names.
class SlowProxy : public QObject
{
public:
    SlowProxy()
    {
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = m_listener.nextPendingConnection())
                accept(client);
        });
        m_listener.listen(QHostAddress::LocalHost, 0);
        m_tick.setTimerType(Qt::PreciseTimer);
        connect(&m_tick, &QTimer::timeout, this, &SlowProxy::deliver);
        m_tick.start(1);
        m_clock.start();
    }
    quint16 port() const { return m_listener.serverPort(); }
    int tunnels() const { return m_tunnels; }

private:
    struct Chunk
    {
        qint64 dueMs;
        QByteArray bytes;
    };
    struct Link
    {
        QTcpSocket *client = nullptr;
        QTcpSocket *upstream = nullptr;
        QByteArray head; // the CONNECT request, until its end arrived
        bool open = false;
        double uplinkFreeMs = 0;
        std::deque<Chunk> up, down;
    };

    void accept(QTcpSocket *client)
    {
        auto *link = new Link;
        link->client = client;
        // Loopback connects at once; on the link the TCP handshake takes a round trip before the
        // first byte can follow.
        link->uplinkFreeMs = double(m_clock.elapsed() + 2 * oneWayMs);
        m_links.push_back(link);
        connect(client, &QTcpSocket::disconnected, this, [link] {
            if (link->upstream)
                link->upstream->disconnectFromHost();
        });
        connect(client, &QTcpSocket::readyRead, this, [this, link] {
            const QByteArray bytes = link->client->readAll();
            const double sent = std::max<double>(double(m_clock.elapsed()), link->uplinkFreeMs) +
                                double(bytes.size()) / uplinkBytesPerMs;
            link->uplinkFreeMs = sent;
            link->up.push_back({qint64(std::ceil(sent)) + oneWayMs, bytes});
        });
    }

    void toClient(Link *link, QByteArray bytes)
    {
        link->down.push_back({m_clock.elapsed() + oneWayMs, std::move(bytes)});
    }

    void arrivedFromClient(Link *link, const QByteArray &bytes)
    {
        if (link->open) {
            link->upstream->write(bytes);
            return;
        }
        link->head += bytes;
        const qsizetype end = link->head.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> words = link->head.left(link->head.indexOf("\r\n")).split(' ');
        const QByteArray target = words.value(1);
        const quint16 port = quint16(target.mid(target.lastIndexOf(':') + 1).toUInt());
        const QByteArray rest = link->head.mid(end + 4);
        link->head.clear();
        if (words.value(0) != "CONNECT" || port == 0) {
            toClient(link, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        ++m_tunnels;
        link->upstream = new QTcpSocket(this);
        connect(link->upstream, &QTcpSocket::readyRead, this,
                [this, link] { toClient(link, link->upstream->readAll()); });
        connect(link->upstream, &QTcpSocket::disconnected, this,
                [this, link] { toClient(link, QByteArray()); }); // an empty chunk: close
        link->upstream->connectToHost(QHostAddress::LocalHost, port);
        link->upstream->waitForConnected(1000);
        link->open = true;
        toClient(link, "HTTP/1.1 200 Connection established\r\n\r\n");
        if (!rest.isEmpty())
            link->upstream->write(rest);
    }

    void deliver()
    {
        const qint64 now = m_clock.elapsed();
        for (Link *link : m_links) {
            while (!link->up.empty() && link->up.front().dueMs <= now) {
                const QByteArray bytes = std::move(link->up.front().bytes);
                link->up.pop_front();
                arrivedFromClient(link, bytes);
            }
            while (!link->down.empty() && link->down.front().dueMs <= now) {
                const QByteArray bytes = std::move(link->down.front().bytes);
                link->down.pop_front();
                if (bytes.isEmpty())
                    link->client->disconnectFromHost();
                else
                    link->client->write(bytes);
            }
        }
    }

    QTcpServer m_listener;
    QTimer m_tick;
    QElapsedTimer m_clock;
    std::vector<Link *> m_links;
    int m_tunnels = 0;

public:
    ~SlowProxy() override
    {
        for (Link *link : m_links) {
            link->client->disconnect(this);
            if (link->upstream)
                link->upstream->disconnect(this);
        }
        qDeleteAll(m_links);
    }
};

// The server side (proxy and fake service) on a thread of its own, so that the client's work
// (encoding the audio) never holds up the link's clock.
struct Far
{
    QThread thread;
    QObject *anchor = nullptr; // lives on the thread, for calls onto it
    FakeGeminiServer *server = nullptr;
    FakeLiveServer *live = nullptr;
    SlowProxy *proxy = nullptr;

    Far()
    {
        anchor = new QObject;
        anchor->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, anchor, &QObject::deleteLater);
        thread.start();
    }
    ~Far()
    {
        thread.quit();
        thread.wait();
    }
    template <typename F> auto on(F f)
    {
        decltype(f()) result{};
        QMetaObject::invokeMethod(
            anchor, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
};

bool makeCertificate(const QString &dir, QSslConfiguration &serverTls, QSslCertificate &cert)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=") + serviceHost, QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=DNS:") + serviceHost, QStringLiteral("-keyout"),
                   dir + QStringLiteral("/key.pem"), QStringLiteral("-out"),
                   dir + QStringLiteral("/cert.pem")});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return false;
    QFile certFile(dir + QStringLiteral("/cert.pem")), keyFile(dir + QStringLiteral("/key.pem"));
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
        return false;
    cert = QSslCertificate(certFile.readAll(), QSsl::Pem);
    const QSslKey key(keyFile.readAll(), QSsl::Ec, QSsl::Pem);
    if (cert.isNull() || key.isNull())
        return false;
    serverTls = QSslConfiguration::defaultConfiguration();
    serverTls.setLocalCertificate(cert);
    serverTls.setPrivateKey(key);
    serverTls.setPeerVerifyMode(QSslSocket::VerifyNone);
    serverTls.setAllowedNextProtocols({QSslConfiguration::NextProtocolHttp1_1});
    return true;
}

// 30 s of synthetic speech at 16 kHz mono 16-bit over a microphone's noise floor (by default
// about -60 dBFS, a quiet room), as the app would record it: espeak-ng's voice, resampled,
// repeated to length. The noise is most of what FLAC cannot compress.
bool writeSpeech(const QString &dir, const QString &path, int seconds, double noiseLevel)
{
    const QString spoken = dir + QStringLiteral("/espeak.wav");
    QProcess espeak;
    espeak.start(QStringLiteral("espeak-ng"),
                 {QStringLiteral("-w"), spoken,
                  QStringLiteral("Salom, bugun uchrashuvni soat uchga ko'chiramiz. Please send "
                                 "the report to the whole team before Friday, and add the numbers "
                                 "from the last quarter. Привет, я перезвоню после обеда, когда "
                                 "закончу с документами.")});
    if (!espeak.waitForFinished(30000) || espeak.exitCode() != 0)
        return false;
    SF_INFO info{};
    SNDFILE *in = sf_open(QFile::encodeName(spoken).constData(), SFM_READ, &info);
    if (!in)
        return false;
    std::vector<float> voice(size_t(info.frames) * size_t(info.channels));
    sf_readf_float(in, voice.data(), info.frames);
    sf_close(in);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, noiseLevel);
    std::vector<short> out(size_t(seconds) * 16000);
    const double step = double(info.samplerate) / 16000.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double at = std::fmod(double(i) * step, double(info.frames - 1));
        const auto j = size_t(at);
        const double frac = at - double(j);
        const double v = voice[j * size_t(info.channels)] * (1 - frac) +
                         voice[(j + 1) * size_t(info.channels)] * frac;
        out[i] = short(std::clamp(v * 20000.0 + noise(random), -32768.0, 32767.0));
    }
    return WaveFiles::writeMono16k(path, out);
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(' ', 0, 2)
                                       : QStringLiteral("?");
}

struct Mode
{
    const char *name;
    bool warm;
    QString format;
    QString base; // the service's address; empty: the fake server's
    std::vector<double> first, second;
    int connections = 0;
};

// nghttpd, an HTTP/2-only server (ALPN "h2"), as a service that offers HTTP/2: it answers every
// POST to the generate-content address with the file of that name. Loopback only. Its flow
// control windows are opened to 16 MB: with HTTP/2's default 64 KB the upload would wait a round
// trip for every 64 KB, which measures the server's setting rather than the client.
struct Http2Service
{
    QProcess process;
    quint16 port = 0;

    bool start(const QString &dir, const QString &model, const QByteArray &answer)
    {
        const QString nghttpd = QStandardPaths::findExecutable(
            QStringLiteral("nghttpd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (nghttpd.isEmpty())
            return false;
        const QString docs = dir + QStringLiteral("/h2");
        QDir().mkpath(docs + QStringLiteral("/v1beta/models"));
        QFile file(docs + QStringLiteral("/v1beta/models/") + model +
                   QStringLiteral(":generateContent"));
        if (!file.open(QIODevice::WriteOnly) || file.write(answer) != answer.size())
            return false;
        file.close();
        {
            QTcpServer probe; // a free port
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        process.start(nghttpd,
                      {QStringLiteral("-w"), QStringLiteral("24"), QStringLiteral("-W"),
                       QStringLiteral("24"), QStringLiteral("-a"), QStringLiteral("127.0.0.1"),
                       QStringLiteral("-d"), docs, QString::number(port),
                       dir + QStringLiteral("/key.pem"), dir + QStringLiteral("/cert.pem")});
        if (!process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 100; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            if (s.waitForConnected(100))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    ~Http2Service()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int rounds = 5;
    QList<int> lengths{10, 60, 300};
    double pace = 1;
    int speakMs = 3000; // how long the user speaks before letting go, in the warm modes
    double noise = 33;  // the noise floor's RMS in sample units (33: -60 dBFS)
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--rounds"))
            rounds = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--speak-ms"))
            speakMs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--noise"))
            noise = args[i + 1].toDouble();
        else if (args[i] == QLatin1String("--pace"))
            pace = std::max(0.1, args[i + 1].toDouble());
        else if (args[i] == QLatin1String("--lengths")) {
            lengths.clear();
            for (const QString &n : args[i + 1].split(u',', Qt::SkipEmptyParts))
                lengths.append(n.toInt());
        }
    }

    QTemporaryDir work;
    QSslConfiguration serverTls;
    QSslCertificate cert;
    if (!makeCertificate(work.path(), serverTls, cert)) {
        std::fprintf(stderr, "network: cannot make a certificate with openssl\n");
        return 1;
    }
    const QString wavPath = work.filePath(QStringLiteral("speech.wav"));
    if (!writeSpeech(work.path(), wavPath, 30, noise)) {
        std::fprintf(stderr, "network: cannot make the recording with espeak-ng\n");
        return 1;
    }

    // The certificate is trusted here only: this process's default configuration.
    QSslConfiguration trusted = QSslConfiguration::defaultConfiguration();
    trusted.addCaCertificate(cert);
    QSslConfiguration::setDefaultConfiguration(trusted);

    Far far;
    const QString base = far.on([&] {
        far.server = new FakeGeminiServer(serverTls, serviceHost);
        far.server->setKeepAlive(true);
        far.server->setFallback(
            {200, FakeGeminiServer::generateContentAnswer(QStringLiteral("Salom, hello."))});
        far.live = new FakeLiveServer(far.server);
        far.proxy = new SlowProxy;
        return far.server->baseUrl();
    });
    qputenv("VESK_GEMINI_BASE_URL", base.toUtf8());
    qputenv("https_proxy", QStringLiteral("http://127.0.0.1:%1").arg(far.proxy->port()).toUtf8());
    qunsetenv("no_proxy");
    qunsetenv("NO_PROXY");

    const QByteArray wav = GeminiRequests::readAudio(wavPath).value();
    // The encoders on their own, as they run after release: the best of five.
    const auto encodeMs = [&](AudioEncoder::Encoded (*encoder)(const QByteArray &)) {
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer clock;
            clock.start();
            if (!encoder(wav).ok())
                return -1.0;
            times.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        return *std::min_element(times.begin(), times.end());
    };
    const QByteArray flac = AudioEncoder::toFlac(wav).bytes;
    const QByteArray ogg = AudioEncoder::toOgg(wav).bytes;
    const double flacMs = encodeMs(&AudioEncoder::toFlac);
    const double oggMs = encodeMs(&AudioEncoder::toOgg);

    Config config;
    config.apiKey = QStringLiteral("bench-key");
    std::vector<Mode> modes = {{"cold session, WAV (before)", false, QStringLiteral("wav")},
                               {"cold session, FLAC", false, QStringLiteral("flac")},
                               {"warm session, WAV", true, QStringLiteral("wav")},
                               {"warm session, FLAC (after)", true, QStringLiteral("flac")},
                               {"warm session, Ogg Vorbis", true, QStringLiteral("ogg")}};
    Http2Service h2;
    if (h2.start(work.path(), config.model,
                 FakeGeminiServer::generateContentAnswer(QStringLiteral("Salom, hello."))))
        modes.push_back({"warm session, FLAC, HTTP/2", true, QStringLiteral("flac"),
                         QStringLiteral("https://%1:%2").arg(serviceHost).arg(h2.port)});
    else
        std::printf("HTTP/2: no nghttpd (Debian package nghttp2-server), not measured\n");
    const QString load = loadAverage();
    bool failed = false;

    for (int round = 0; round < rounds && !failed; ++round) {
        for (Mode &mode : modes) {
            config.audioFormat = mode.format;
            qputenv("VESK_GEMINI_BASE_URL", (mode.base.isEmpty() ? base : mode.base).toUtf8());
            const int connectionsBefore = far.on([&] { return far.proxy->tunnels(); });
            // The warm modes start each round with the app's session new, as after launch.
            auto transcriber = mode.warm ? std::make_unique<GeminiTranscriber>() : nullptr;
            for (int dictation = 0; dictation < 2 && !failed; ++dictation) {
                if (mode.warm) {
                    // The key went down. Nothing is fed here, so the warm-up names no format: the
                    // recording is encoded after release, as these modes have always measured.
                    Config warm = config;
                    warm.audioFormat = QStringLiteral("wav");
                    transcriber->warmUp(warm);
                    QElapsedTimer speaking;
                    speaking.start();
                    waitFor([&] { return speaking.elapsed() >= speakMs; }, speakMs + 1000, 0);
                }
                std::optional<QString> text;
                QString error;
                bool done = false;
                QElapsedTimer clock;
                clock.start(); // the key is let go
                if (mode.warm) {
                    transcriber->transcribe(config, wavPath,
                                            [&](std::optional<QString> t, QString e) {
                                                text = std::move(t);
                                                error = std::move(e);
                                                done = true;
                                            });
                } else {
                    // The request path as it was: the recording read, then each exchange on a
                    // network session of its own.
                    const GeminiResult<QByteArray> audio = GeminiRequests::readAudio(wavPath);
                    auto *job =
                        new GeminiTranscription(GeminiClient::from(config), audio.value(), nullptr);
                    QObject::connect(job, &GeminiTranscription::finished, job,
                                     [&](const GeminiResult<QString> &r) {
                                         if (r.ok())
                                             text = r.value();
                                         else
                                             error = r.error().description();
                                         done = true;
                                     });
                }
                if (!waitFor([&] { return done; }, 60000, 0) || !text) {
                    std::fprintf(stderr, "network: %s failed: %s\n", mode.name,
                                 qPrintable(error.isEmpty() ? QStringLiteral("no answer") : error));
                    failed = true;
                    break;
                }
                const double ms = double(clock.nsecsElapsed()) / 1e6;
                (dictation == 0 ? mode.first : mode.second).push_back(ms);
                QElapsedTimer pause;
                pause.start();
                waitFor([&] { return pause.elapsed() >= 300; }, 1300, 0);
            }
            transcriber.reset();
            mode.connections += far.on([&] { return far.proxy->tunnels(); }) - connectionsBefore;
        }
    }

    // Live against batch as the dictation grows: one dictation of each per length.
    struct Length
    {
        int seconds;
        double live = -1, wav = -1, ogg = -1, oggWhileSpoken = -1;
        qint64 oggBody = 0; // the request of the Ogg encoded while spoken, in bytes
    };
    std::vector<Length> byLength;
    qputenv("VESK_GEMINI_BASE_URL", base.toUtf8());
    for (int seconds : lengths) {
        if (failed)
            break;
        Length row{seconds};
        const QString path = work.filePath(QStringLiteral("speech-%1.wav").arg(seconds));
        if (!writeSpeech(work.path(), path, seconds, noise)) {
            failed = true;
            break;
        }
        QByteArray pcm;
        {
            SF_INFO info{};
            SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
            if (!f) {
                failed = true;
                break;
            }
            pcm.resize(qsizetype(info.frames) * 2);
            sf_readf_short(f, reinterpret_cast<short *>(pcm.data()), info.frames);
            sf_close(f);
        }
        for (const QString &kind : {QStringLiteral("live"), QStringLiteral("wav"),
                                    QStringLiteral("ogg"), QStringLiteral("ogg-while-spoken")}) {
            Config c = config;
            const bool live = kind == QLatin1String("live");
            const bool whileSpoken = kind == QLatin1String("ogg-while-spoken");
            if (live)
                c.model = QStringLiteral("gemini-3.5-transcribe-live");
            else
                c.audioFormat = whileSpoken ? QStringLiteral("ogg") : kind;
            // The transcriber alone: the trimming, the controller's, is not measured.
            c.trimSilence = false;
            GeminiTranscriber transcriber;
            const int requestsBefore = far.on([&] { return int(far.server->requests().size()); });
            // The key went down. Batch Ogg after release: a warm-up that names no format, so
            // nothing is encoded while the user speaks.
            Config warm = c;
            if (kind == QLatin1String("ogg"))
                warm.audioFormat = QStringLiteral("wav");
            transcriber.warmUp(warm);
            // The user speaks: 20 ms of capture at a time, at the capture's pace times `pace`.
            QElapsedTimer speaking;
            speaking.start();
            qsizetype fed = 0;
            while (fed < pcm.size()) {
                const qsizetype due = std::min(
                    pcm.size(), qsizetype(double(speaking.elapsed()) * pace * 32) / 640 * 640);
                for (; fed < due; fed += 640)
                    transcriber.feed(pcm.mid(fed, 640));
                waitFor([] { return false; }, 20, 0);
            }
            std::optional<QString> text;
            QString error;
            bool done = false;
            QElapsedTimer clock;
            clock.start(); // the key is let go
            transcriber.transcribe(c, path, [&](std::optional<QString> t, QString e) {
                text = std::move(t);
                error = std::move(e);
                done = true;
            });
            if (!waitFor([&] { return done; }, 120000, 0) || !text) {
                std::fprintf(stderr, "network: %s at %d s failed: %s\n", qPrintable(kind), seconds,
                             qPrintable(error.isEmpty() ? QStringLiteral("no answer") : error));
                failed = true;
                break;
            }
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            const int requests =
                far.on([&] { return int(far.server->requests().size()); }) - requestsBefore;
            if (live && requests != 0) {
                std::fprintf(stderr, "network: the live dictation at %d s fell back to a request\n",
                             seconds);
                failed = true;
                break;
            }
            if (whileSpoken)
                row.oggBody = far.on([&] { return far.server->requests().last().body.size(); });
            (live                           ? row.live
             : kind == QLatin1String("wav") ? row.wav
             : whileSpoken                  ? row.oggWhileSpoken
                                            : row.ogg) = ms;
        }
        byLength.push_back(row);
    }

    far.on([&] {
        delete far.proxy;
        delete far.live;
        delete far.server;
        return 0;
    });
    if (failed)
        return 1;

    std::printf("link: HTTP CONNECT proxy (https_proxy), +%d ms round trip, %.0f Mbit/s up; TLS\n",
                2 * oneWayMs, uplinkBytesPerMs * 8 / 1e3);
    const QString floor =
        noise > 0 ? QStringLiteral("%1 dBFS").arg(20 * std::log10(noise / 32768), 0, 'f', 0)
                  : QStringLiteral("none");
    const GeminiClient client = GeminiClient::from(config);
    std::printf("audio: 30 s, 16 kHz mono 16-bit, noise floor %s; WAV %lld bytes, FLAC %lld "
                "bytes (%.0f%%, encoded in %.1f ms), Ogg Vorbis %lld bytes (%.0f%%, %.1f ms)\n",
                qPrintable(floor), qlonglong(wav.size()), qlonglong(flac.size()),
                100.0 * double(flac.size()) / double(wav.size()), flacMs, qlonglong(ogg.size()),
                100.0 * double(ogg.size()) / double(wav.size()), oggMs);
    std::printf("request bodies: WAV %lld bytes, FLAC %lld, Ogg Vorbis %lld\n",
                qlonglong(GeminiRequests::inlineRequestSize(client, wav.size())),
                qlonglong(GeminiRequests::inlineRequestSize(client, flac.size())),
                qlonglong(GeminiRequests::inlineRequestSize(client, ogg.size())));
    std::printf("%-30s %12s %12s %16s\n", "release to text", "1st ms", "2nd ms", "connections/2");
    for (const Mode &mode : modes)
        std::printf("%-30s %12.0f %12.0f %16.1f\n", mode.name, median(mode.first),
                    median(mode.second), double(mode.connections) / rounds);
    const Mode &before = modes.front();
    const Mode &after = modes[3];
    const Mode &afterOgg = modes[4];
    std::printf("ratio before / after: FLAC 1st %.2f, 2nd %.2f; Ogg Vorbis 1st %.2f, 2nd %.2f "
                "(goal: 2nd at least 2)\n",
                median(before.first) / median(after.first),
                median(before.second) / median(after.second),
                median(before.first) / median(afterOgg.first),
                median(before.second) / median(afterOgg.second));
    std::printf("median of %d rounds; warm modes speak %d ms before release\n", rounds, speakMs);
    if (!byLength.empty()) {
        std::printf("\n%-30s %12s %12s %12s %16s %14s   (speech fed at %.1fx its pace)\n",
                    "release to text, ms", "live", "batch WAV", "batch Ogg", "Ogg while spoken",
                    "its goal", pace);
        for (const Length &row : byLength)
            std::printf("%-30s %12.0f %12.0f %12.0f %16.0f %14.0f\n",
                        qPrintable(QStringLiteral("%1 s of speech").arg(row.seconds)), row.live,
                        row.wav, row.ogg, row.oggWhileSpoken,
                        double(row.oggBody) / uplinkBytesPerMs + 2 * oneWayMs);
        std::printf("goal: live within one round trip + 50 ms (%d ms) at every length; batch Ogg "
                    "encoded while spoken within its request's upload time + one round trip\n",
                    2 * oneWayMs + 50);
    }
    std::printf("load average %s at the start, %s at the end\n", qPrintable(load),
                qPrintable(loadAverage()));
    return 0;
}
