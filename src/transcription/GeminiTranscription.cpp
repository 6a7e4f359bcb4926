#include "GeminiTranscription.h"

#include "GeminiAnswers.h"
#include "GeminiEndpoints.h"
#include "LiveSession.h"
#include "Log.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QUuid>
#include <utility>

GeminiTranscription::GeminiTranscription(GeminiClient client, QByteArray wav,
                                         QNetworkAccessManager *network, QObject *parent,
                                         GeminiTranscriptionLimits limits)
    : QObject(parent), m_client(std::move(client)), m_limits(limits), m_audio(std::move(wav)),
      m_network(network)
{
    // A file for a live model goes to the batch model of its name (a retry, the command line).
    if (LiveSession::isLive(m_client.model))
        m_client.model = LiveSession::batchModel(m_client.model);
    QMetaObject::invokeMethod(this, &GeminiTranscription::begin, Qt::QueuedConnection);
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
    if (ogg)
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
    const QJsonObject metadata{
        {QStringLiteral("file"),
         QJsonObject{
             {QStringLiteral("display_name"),
              QStringLiteral("dictation-") + QUuid::createUuid().toString(QUuid::WithoutBraces)}}}};
    GeminiExchange::Settings settings{"POST", uploadStart, m_client.apiKey,
                                      QJsonDocument(metadata).toJson(QJsonDocument::Compact)};
    settings.headers = {{"X-Goog-Upload-Protocol", "resumable"},
                        {"X-Goog-Upload-Command", "start"},
                        {"X-Goog-Upload-Header-Content-Length", QByteArray::number(m_audio.size())},
                        {"X-Goog-Upload-Header-Content-Type", m_mimeType.toLatin1()}};
    settings.answerHeader = "X-Goog-Upload-URL";
    connect(exchange(std::move(settings)), &GeminiExchange::finished, this,
            [this](const GeminiResult<QByteArray> &answer) {
                if (!answer.ok())
                    return finish(answer.error());
                sendBytes(answer.value());
            });
}

void GeminiTranscription::sendBytes(const QByteArray &uploadUrl)
{
    const QUrl url(QString::fromUtf8(uploadUrl), QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return finish(GeminiError::badResponse(QCoreApplication::translate(
            "GeminiError", "the upload was not given a usable address")));
    // The upload address carries its own authorisation; the key stays with the service's host.
    GeminiExchange::Settings settings{"POST", url, QString(), m_audio};
    settings.contentType = m_mimeType.toLatin1();
    settings.headers = {{"X-Goog-Upload-Command", "upload, finalize"},
                        {"X-Goog-Upload-Offset", "0"}};
    connect(exchange(std::move(settings)), &GeminiExchange::finished, this,
            [this](const GeminiResult<QByteArray> &answer) {
                if (!answer.ok())
                    return finish(answer.error());
                transcribeFile(answer.value());
            });
}

void GeminiTranscription::transcribeFile(const QByteArray &answer)
{
    const QJsonObject file =
        QJsonDocument::fromJson(answer).object().value(QLatin1String("file")).toObject();
    const QString uri = file.value(QLatin1String("uri")).toString();
    m_uploadedName = file.value(QLatin1String("name")).toString();
    if (uri.isEmpty())
        return finish(GeminiError::badResponse(
            QCoreApplication::translate("GeminiError", "the uploaded file was not named")));
    m_audio.clear();
    const GeminiResult<GeminiRequest> request =
        GeminiRequests::uploadedFileRequest(m_client, uri, m_mimeType);
    if (!request.ok())
        return finish(request.error());
    sendRequest(request.value());
}

// The service would keep the recording for two days; it is removed as soon as it is of no use.
// The delete outlives this object (it belongs to the session), and its outcome changes nothing
// but a log line.
void GeminiTranscription::deleteUploaded()
{
    if (m_uploadedName.isEmpty() || !m_network)
        return;
    const QString name = std::exchange(m_uploadedName, QString());
    const GeminiResult<QUrl> url = GeminiEndpoints::fileAddress(name);
    if (!url.ok())
        return;
    m_deleting = new GeminiExchange(
        GeminiExchange::Settings{
            "DELETE", url.value(), m_client.apiKey, {}, 60, {}, {}, {}, {}, m_network.data()},
        m_network.data());
    connect(m_deleting, &GeminiExchange::finished, m_network,
            [name](const GeminiResult<QByteArray> &result) {
                if (!result.ok())
                    Log::write(QStringLiteral("could not delete the uploaded recording %1: %2")
                                   .arg(name, result.error().description()));
            });
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
