#include "transcription/GeminiTranscription.h"

#include "transcription/GeminiAnswers.h"
#include "transcription/GeminiEndpoints.h"
#include "transcription/GeminiRequests.h"
#include "transcription/GeminiUpload.h"
#include "transcription/LiveSession.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <utility>

GeminiTranscription::GeminiTranscription(GeminiClient client, QByteArray wav,
                                         QNetworkAccessManager *network, QObject *parent,
                                         GeminiTranscriptionLimits limits)
    : QObject(parent), m_client(std::move(client)), m_limits(limits), m_audio(std::move(wav)),
      m_network(network)
{
    // A file for a live model goes to the batch model of its name (a retry, the command line).
    if (m_client.live) {
        m_client.model = LiveSession::batchModel(m_client.model);
        m_client.live = false;
    }
    QMetaObject::invokeMethod(this, &GeminiTranscription::begin, Qt::QueuedConnection);
}

GeminiTranscription::GeminiTranscription(GeminiClient client, AudioEncoder::Encoded encoded,
                                         AudioEncoder::Format format,
                                         QNetworkAccessManager *network, QObject *parent,
                                         GeminiTranscriptionLimits limits)
    : GeminiTranscription(std::move(client), std::move(encoded.bytes), network, parent, limits)
{
    m_mimeType = AudioEncoder::mimeType(format);
}

void GeminiTranscription::cancel()
{
    if (m_done)
        return;
    m_done = true;
    if (m_current)
        m_current->cancel();
    m_current = nullptr;
    deleteUploaded();
    QMetaObject::invokeMethod(
        this,
        [this] {
            Q_EMIT finished(GeminiError::cancelled());
            settleAndGo();
        },
        Qt::QueuedConnection);
}

GeminiExchange *GeminiTranscription::exchange(GeminiExchange::Settings settings)
{
    settings.network = m_network;
    if (settings.waitsMs.isEmpty())
        settings.waitsMs = GeminiExchange::transcriptionWaitsMs();
    auto *e = new GeminiExchange(std::move(settings), this);
    m_current = e;
    return e;
}

void GeminiTranscription::begin()
{
    if (m_done)
        return;
    if (m_client.apiKey.isEmpty())
        return finish(GeminiError::noApiKey());
    const qint64 limit = m_limits.inlineRequestBytes;
    const auto reencode = [this](AudioEncoder::Encoded (*encoder)(const QByteArray &),
                                 const QString &mimeType) {
        if (AudioEncoder::Encoded encoded = encoder(m_audio); encoded.ok()) {
            m_audio = std::move(encoded.bytes);
            m_mimeType = mimeType;
        }
    };
    const bool ogg = m_client.audioFormat == QLatin1String("ogg");
    // Audio handed over encoded is WAV no longer, so only its size is looked at.
    if (ogg && m_mimeType == AudioEncoder::wavType)
        reencode(&AudioEncoder::toOgg, AudioEncoder::oggType);
    // FLAC when asked, when WAV would pass the ceiling, or when Ogg could not be made; a FLAC that
    // cannot be made leaves the WAV. Ogg is the smallest, so it stays whatever its size.
    if (m_mimeType == AudioEncoder::wavType &&
        (ogg || m_client.audioFormat == QLatin1String("flac") ||
         GeminiRequests::inlineRequestSize(m_client, m_audio.size()) > limit))
        reencode(&AudioEncoder::toFlac, AudioEncoder::flacType);
    if (GeminiRequests::inlineRequestSize(m_client, m_audio.size()) > limit) {
        // A request that could not be made afterwards is refused before anything is uploaded.
        if (const auto probe = GeminiRequests::transcriptionRequest(m_client, {}, m_mimeType);
            !probe.ok())
            return finish(probe.error());
        const GeminiResult<QUrl> start = GeminiEndpoints::uploadStartAddress();
        if (!start.ok())
            return finish(start.error());
        return startUpload(start.value());
    }

    const GeminiResult<GeminiRequest> request =
        GeminiRequests::transcriptionRequest(m_client, m_audio, m_mimeType);
    if (!request.ok())
        return finish(request.error());
    m_audio.clear(); // the request holds its own encoding of it
    sendRequest(request.value());
}

void GeminiTranscription::sendRequest(const GeminiRequest &request)
{
    const GeminiRequest::Kind kind = request.kind;
    connect(exchange({"POST", request.address, m_client.apiKey, request.body}),
            &GeminiExchange::finished, this, [this, kind](const GeminiResult<QByteArray> &answer) {
                if (!answer.ok())
                    return finish(answer.error());
                finish(GeminiAnswers::transcript(kind, answer.value()));
            });
}

void GeminiTranscription::startUpload(const QUrl &uploadStart)
{
    connect(exchange(GeminiUpload::start(uploadStart, m_client.apiKey, m_audio.size(), m_mimeType)),
            &GeminiExchange::finished, this, [this](const GeminiResult<QByteArray> &answer) {
                if (!answer.ok())
                    return finish(answer.error());
                sendBytes(answer.value());
            });
}

void GeminiTranscription::sendBytes(const QByteArray &uploadUrl)
{
    const GeminiResult<GeminiExchange::Settings> settings =
        GeminiUpload::bytes(uploadUrl, m_audio, m_mimeType);
    if (!settings.ok())
        return finish(settings.error());
    connect(exchange(settings.value()), &GeminiExchange::finished, this,
            [this](const GeminiResult<QByteArray> &answer) {
                if (!answer.ok())
                    return finish(answer.error());
                transcribeFile(answer.value());
            });
}

void GeminiTranscription::transcribeFile(const QByteArray &answer)
{
    const GeminiUpload::File file = GeminiUpload::uploadedFile(answer);
    m_uploadedName = file.name;
    if (file.uri.isEmpty())
        return finish(GeminiError::badResponse(
            QCoreApplication::translate("GeminiError", "the uploaded file was not named")));
    m_audio.clear();
    const GeminiResult<GeminiRequest> request =
        GeminiRequests::uploadedFileRequest(m_client, file.uri, m_mimeType);
    if (!request.ok())
        return finish(request.error());
    sendRequest(request.value());
}

// The service would keep the recording for two days; it is removed as soon as it is of no use.
void GeminiTranscription::deleteUploaded()
{
    if (m_uploadedName.isEmpty() || !m_network)
        return;
    m_deleting = GeminiUpload::remove(std::exchange(m_uploadedName, QString()), m_client.apiKey,
                                      m_network.data());
}

void GeminiTranscription::settleAndGo()
{
    if (!m_deleting) {
        Q_EMIT settled();
        deleteLater();
        return;
    }
    connect(m_deleting, &QObject::destroyed, this, [this] {
        Q_EMIT settled();
        deleteLater();
    });
}

void GeminiTranscription::finish(const GeminiResult<QString> &result)
{
    if (m_done)
        return;
    m_done = true;
    m_current = nullptr;
    deleteUploaded();
    Q_EMIT finished(result);
    settleAndGo();
}
