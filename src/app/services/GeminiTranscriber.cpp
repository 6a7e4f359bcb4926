#include "app/services/GeminiTranscriber.h"

#include "audio/AudioCapture.h"
#include "audio/AudioTrimmer.h"
#include "audio/SoundFile.h"
#include "transcription/GeminiClient.h"
#include "transcription/GeminiEndpoints.h"
#include "transcription/GeminiRequests.h"
#include "transcription/GeminiTranscription.h"
#include "records/Log.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QSslConfiguration>

namespace {

// Qt looks up the proxy of a warm-up under the scheme "preconnect-https", which the environment's
// https_proxy does not name: the connection opened ahead would go around the proxy the request
// then takes, and be of no use to it. Warm-ups are looked up as the requests they prepare.
class RequestProxies : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        static const QString prefix = QStringLiteral("preconnect-");
        QNetworkProxyQuery asRequest = query;
        QUrl url = query.url();
        if (url.scheme().startsWith(prefix)) {
            url.setScheme(url.scheme().mid(prefix.size()));
            asRequest.setUrl(url);
        }
        return QNetworkProxyFactory::proxyForQuery(asRequest);
    }
};

} // namespace

// Lives on the worker thread; runs one transcription at a time. Its network session lasts as long
// as the app, so that each dictation finds the connection (and TLS session) of the one before, or
// the one opened while the user spoke.
class GeminiTranscriber::Worker : public QObject
{
    // The trimming and encoding of the recording under way.
    struct Encoder
    {
        explicit Encoder(const GeminiTranscriber::Encoding &s)
            : settings(s), encoder(s.format, AudioCapture::sampleRate)
        {
            if (s.trim)
                trimmer.emplace(s.keepSeconds, AudioCapture::sampleRate);
        }
        void add(const QByteArray &pcm)
        {
            const auto *frames = reinterpret_cast<const short *>(pcm.constData());
            const qsizetype count = pcm.size() / 2;
            framesIn += count;
            if (!trimmer) {
                encoder.write(frames, count);
                return;
            }
            kept.clear();
            trimmer->add(frames, count, kept);
            encoder.write(kept.data(), qsizetype(kept.size()));
        }
        AudioEncoder::Encoded finish()
        {
            if (trimmer) {
                kept.clear();
                trimmer->finish(kept);
                encoder.write(kept.data(), qsizetype(kept.size()));
            }
            return encoder.finish();
        }

        GeminiTranscriber::Encoding settings;
        AudioEncoder::Stream encoder;
        std::optional<AudioTrimmer::Stream> trimmer;
        std::vector<short> kept;
        long long framesIn = 0;
    };

public:
    using Deliver = std::function<void(GeminiResult<QString>)>;

    void run(const GeminiClient &client, const QString &file, Deliver deliver, bool encoded)
    {
        stopJob();
        LiveSession *live = m_live;
        m_live = nullptr;
        std::unique_ptr<Encoder> encoding = std::move(m_encoding);
        if (client.apiKey.isEmpty()) {
            delete live;
            return deliver(GeminiError::noApiKey());
        }
        if (!client.live) {
            delete live;
            if (encoded && encoding)
                return runEncoded(client, file, std::move(encoding), std::move(deliver));
            return runBatch(client, file, std::move(deliver));
        }
        GeminiClient batch = client;
        batch.model = LiveSession::batchModel(client.model);
        batch.live = false;
        if (!live || live->model() != client.model) {
            // A retry of a kept recording, say: no session heard it.
            delete live;
            Log::write(QStringLiteral("no live session for this recording: sent to ") +
                       batch.model);
            return runBatch(batch, file, std::move(deliver));
        }
        m_finishing = live;
        connect(live, &LiveSession::finished, this,
                [this, live, batch, file, deliver](const GeminiResult<QString> &result) {
                    live->deleteLater();
                    if (result.ok()) {
                        Log::write(QStringLiteral("live session: final transcript"));
                        return deliver(result);
                    }
                    Log::write(QStringLiteral("live session failed (%1): the recording goes to %2")
                                   .arg(result.error().description(), batch.model));
                    runBatch(batch, file, deliver);
                });
        live->finish();
    }

    // The session of the recording that starts; audio is held until the service is ready.
    void openLive(const GeminiClient &client, const LiveSession::Limits &limits,
                  std::function<void(const QString &)> interim)
    {
        stop();
        m_live = new LiveSession(client, limits, this);
        Log::write(QStringLiteral("live session opening for ") + client.model);
        connect(m_live, &LiveSession::interim, this, std::move(interim));
        m_live->open();
    }

    void feed(const QByteArray &pcm)
    {
        if (m_live)
            m_live->addAudio(pcm);
    }

    // The recording that starts is trimmed and encoded from its first chunk on, or not at all.
    void openEncoding(const std::optional<GeminiTranscriber::Encoding> &settings)
    {
        m_encoding = settings ? std::make_unique<Encoder>(*settings) : nullptr;
    }

    void encode(const QByteArray &pcm)
    {
        if (m_encoding)
            m_encoding->add(pcm);
    }

    // Sends what was encoded while the user spoke, once its last chunk is: unless it failed or
    // is not the file's audio, then the file as before.
    void runEncoded(const GeminiClient &client, const QString &file,
                    std::unique_ptr<Encoder> encoding, Deliver deliver)
    {
        QElapsedTimer clock;
        clock.start();
        AudioEncoder::Encoded encoded = encoding->finish();
        QString unusable = encoded.error;
        if (unusable.isEmpty()) {
            // A capture error leaves the file short of what was heard; a file of another
            // recording has another length.
            SF_INFO info{};
            const SoundFile recording = SoundFiles::openForReading(file, info);
            if (!recording || info.frames != encoding->framesIn || info.channels != 1 ||
                info.samplerate != AudioCapture::sampleRate)
                unusable = QStringLiteral("the recording holds %1 frames, %2 were encoded")
                               .arg(recording ? qlonglong(info.frames) : -1)
                               .arg(encoding->framesIn);
            else if (encoding->trimmer && encoding->trimmer->framesKept() == 0)
                unusable = QStringLiteral("the trimming left nothing");
        }
        if (!unusable.isEmpty()) {
            Log::write(QStringLiteral("audio encoded while recording not sent (%1): the file "
                                      "goes instead")
                           .arg(unusable));
            return runFile(client, file, encoding->settings, std::move(deliver));
        }
        Log::write(QStringLiteral("audio encoded while recording: %1 bytes, finished in %2 ms")
                       .arg(encoded.bytes.size())
                       .arg(clock.elapsed()));
        m_job = new GeminiTranscription(client, std::move(encoded), encoding->settings.format,
                                        network(), this);
        connect(m_job, &GeminiTranscription::finished, this,
                [deliver = std::move(deliver)](const GeminiResult<QString> &result) {
                    deliver(result);
                });
    }

    // The untrimmed recording, trimmed here as the controller would have.
    void runFile(const GeminiClient &client, const QString &file,
                 const GeminiTranscriber::Encoding &settings, Deliver deliver)
    {
        if (!settings.trim)
            return runBatch(client, file, std::move(deliver));
        const std::optional<QString> trimmed =
            AudioTrimmer::trimSilence(file, settings.keepSeconds);
        if (!trimmed)
            return runBatch(client, file, std::move(deliver));
        // Read whole, the copy is of no more use: the recording is what a retry takes.
        runBatch(client, *trimmed, std::move(deliver));
        QFile::remove(*trimmed);
    }

    void runBatch(const GeminiClient &client, const QString &file, Deliver deliver)
    {
        const GeminiResult<QByteArray> audio = GeminiRequests::readAudio(file);
        if (!audio.ok())
            return deliver(audio.error());
        m_job = new GeminiTranscription(client, audio.value(), network(), this);
        connect(m_job, &GeminiTranscription::finished, this,
                [deliver = std::move(deliver)](const GeminiResult<QString> &result) {
                    deliver(result);
                });
    }

    // Opens the connection to the service (with TLS for https) ahead of the request; the request
    // itself waits for the recording.
    void warmUp()
    {
        const QUrl base(GeminiEndpoints::baseAddress());
        if (!base.isValid() || base.host().isEmpty())
            return;
        if (base.scheme() == QLatin1String("https")) {
            // Offering h2 here lets the warm connection be the HTTP/2 one later requests use.
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.setAllowedNextProtocols(
                {QSslConfiguration::ALPNProtocolHTTP2, QSslConfiguration::NextProtocolHttp1_1});
            network()->connectToHostEncrypted(base.host(), quint16(base.port(443)), tls);
        } else if (base.scheme() == QLatin1String("http")) {
            network()->connectToHost(base.host(), quint16(base.port(80)));
        }
    }

    void stopJob()
    {
        if (m_job)
            m_job->cancel();
        m_job = nullptr;
    }

    // Gives up the request and any live session: nothing more is sent on it.
    void stop()
    {
        stopJob();
        m_encoding.reset();
        for (LiveSession *live : {m_live.data(), m_finishing.data()}) {
            if (live)
                live->close();
        }
        m_live = nullptr;
        m_finishing = nullptr;
    }

private:
    QNetworkAccessManager *network()
    {
        if (!m_network) {
            m_network = new QNetworkAccessManager(this);
            m_network->setProxyFactory(new RequestProxies);
        }
        return m_network;
    }

    QNetworkAccessManager *m_network = nullptr;
    QPointer<GeminiTranscription> m_job;
    QPointer<LiveSession> m_live;      // takes the audio of the recording under way
    QPointer<LiveSession> m_finishing; // waits for its final transcript
    std::unique_ptr<Encoder> m_encoding;
};

GeminiTranscriber::GeminiTranscriber(QObject *parent)
    : GeminiTranscriber(LiveSession::Limits(), parent)
{}

GeminiTranscriber::GeminiTranscriber(LiveSession::Limits liveLimits, QObject *parent)
    : QObject(parent), m_liveLimits(liveLimits)
{
    m_thread.setObjectName(QStringLiteral("vesk.transcribe"));
    m_worker = new Worker;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

GeminiTranscriber::~GeminiTranscriber()
{
    ++m_generation;
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->stop(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

std::optional<GeminiTranscriber::Encoding> GeminiTranscriber::encodingFor(const Config &snapshot)
{
    if (GeminiClient::from(snapshot).live || snapshot.keepAudio)
        return std::nullopt;
    if (snapshot.audioFormat == QLatin1String("ogg"))
        return Encoding{AudioEncoder::Format::ogg, snapshot.trimSilence,
                        snapshot.keepSilenceSeconds};
    if (snapshot.audioFormat == QLatin1String("flac"))
        return Encoding{AudioEncoder::Format::flac, snapshot.trimSilence,
                        snapshot.keepSilenceSeconds};
    return std::nullopt;
}

bool GeminiTranscriber::encodesWhileRecording(const Config &snapshot) const
{
    // Settings changed while the user spoke: the file is trimmed and encoded as they now say.
    return m_encoding && m_encoding == encodingFor(snapshot);
}

void GeminiTranscriber::transcribe(const Config &snapshot, const QString &file, Done done)
{
    m_streaming = false;
    const bool encoded = encodesWhileRecording(snapshot);
    m_encodes = false;
    m_encoding.reset();
    const quint64 generation = ++m_generation;
    const GeminiClient client = GeminiClient::from(snapshot);
    QPointer<GeminiTranscriber> self(this);
    auto deliver = [self, generation, done = std::move(done)](GeminiResult<QString> result) {
        // Back to the main thread; dropped when cancelled or superseded meanwhile.
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, done, result] {
                if (!self || self->m_generation != generation)
                    return;
                if (result.ok())
                    done(result.value(), QString());
                else if (result.error().kind() != GeminiError::Kind::cancelled)
                    done(std::nullopt, result.error().description());
            },
            Qt::QueuedConnection);
    };
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker, client, file, deliver, encoded] { worker->run(client, file, deliver, encoded); },
        Qt::QueuedConnection);
}

void GeminiTranscriber::warmUp(const Config &snapshot)
{
    m_encodes = false;
    m_encoding.reset();
    // No key, no request to come: nothing is opened.
    if (snapshot.resolvedApiKey().isEmpty())
        return;
    Worker *worker = m_worker;
    if (const GeminiClient client = GeminiClient::from(snapshot); client.live) {
        const quint64 generation = m_generation;
        QPointer<GeminiTranscriber> self(this);
        auto interim = [self, generation](const QString &text) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, generation, text] {
                    if (self && self->m_generation == generation && self->m_interim)
                        self->m_interim(text);
                },
                Qt::QueuedConnection);
        };
        QMetaObject::invokeMethod(
            worker,
            [worker, client, limits = m_liveLimits, interim] {
                worker->openLive(client, limits, interim);
            },
            Qt::QueuedConnection);
        // Only now: a chunk posted after this reaches the worker after the session.
        m_streaming = true;
        return;
    }
    QMetaObject::invokeMethod(
        worker, [worker] { worker->warmUp(); }, Qt::QueuedConnection);
    m_encoding = encodingFor(snapshot);
    QMetaObject::invokeMethod(
        worker, [worker, encoding = m_encoding] { worker->openEncoding(encoding); },
        Qt::QueuedConnection);
    // Only now, as for a live session: every chunk reaches the worker after the encoder.
    m_encodes = m_encoding.has_value();
}

void GeminiTranscriber::feed(const QByteArray &pcm)
{
    Worker *worker = m_worker;
    if (m_streaming.load())
        QMetaObject::invokeMethod(
            worker, [worker, pcm] { worker->feed(pcm); }, Qt::QueuedConnection);
    else if (m_encodes.load())
        QMetaObject::invokeMethod(
            worker, [worker, pcm] { worker->encode(pcm); }, Qt::QueuedConnection);
}

void GeminiTranscriber::setInterimHandler(std::function<void(const QString &)> handler)
{
    m_interim = std::move(handler);
}

void GeminiTranscriber::cancel()
{
    m_streaming = false;
    m_encodes = false;
    m_encoding.reset();
    ++m_generation;
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->stop(); }, Qt::QueuedConnection);
}
