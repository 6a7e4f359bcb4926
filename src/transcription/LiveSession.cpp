#include "transcription/LiveSession.h"

#include "transcription/GeminiEndpoints.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkProxyFactory>
#include <QNetworkRequest>
#include <QWebSocket>

namespace {

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; });
}

// The close codes the service ends a session with, onto the errors the REST answers give.
GeminiError closeError(QWebSocketProtocol::CloseCode code, const QString &reason)
{
    switch (code) {
    case QWebSocketProtocol::CloseCodePolicyViolated:
        return GeminiError::http(403, reason);
    case QWebSocketProtocol::CloseCodeWrongDatatype:
    case QWebSocketProtocol::CloseCodeProtocolError:
        return GeminiError::http(400, reason);
    case QWebSocketProtocol::CloseCodeTooMuchData:
        return GeminiError::badResponse(QStringLiteral("a live message was too large"));
    case QWebSocketProtocol::CloseCodeAbnormalDisconnection:
        return GeminiError::transport(QStringLiteral("the live session was cut"));
    default:
        break;
    }
    // 1011 and the codes above 1011: the service's own trouble or a retry later.
    if (int(code) >= 1011 && int(code) < 4000)
        return GeminiError::http(503, reason);
    return GeminiError::transport(
        reason.isEmpty() ? QStringLiteral("the live session closed (%1)").arg(int(code)) : reason);
}

} // namespace

LiveSession::LiveSession(GeminiClient client, Limits limits, QObject *parent)
    : QObject(parent), m_client(std::move(client)), m_limits(limits)
{
    for (QTimer *timer : {&m_setupTimer, &m_answerTimer, &m_finalTimer})
        timer->setSingleShot(true);
    connect(&m_setupTimer, &QTimer::timeout, this,
            [this] { fail(GeminiError::timedOut((m_limits.setupTimeoutMs + 999) / 1000)); });
    connect(&m_answerTimer, &QTimer::timeout, this,
            [this] { fail(GeminiError::timedOut((m_limits.answerTimeoutMs + 999) / 1000)); });
    connect(&m_finalTimer, &QTimer::timeout, this,
            [this] { fail(GeminiError::timedOut((m_limits.finalTimeoutMs + 999) / 1000)); });
}

LiveSession::~LiveSession()
{
    m_done = true;
    if (m_socket)
        m_socket->abort();
}

bool LiveSession::isLive(const QString &model)
{
    return model.contains(QLatin1String("live"), Qt::CaseInsensitive);
}

QString LiveSession::batchModel(const QString &liveModel)
{
    QString model = liveModel;
    model.remove(QStringLiteral("-live"), Qt::CaseInsensitive);
    model.remove(QStringLiteral("live-"), Qt::CaseInsensitive);
    return model;
}

QJsonObject LiveSession::setupMessage() const
{
    QJsonObject transcription{{QStringLiteral("mode"), m_client.transcriptionMode.isEmpty()
                                                           ? QStringLiteral("smart")
                                                           : m_client.transcriptionMode}};
    if (!m_client.languageCodes.isEmpty())
        transcription.insert(QStringLiteral("languageCodes"),
                             QJsonArray::fromStringList(m_client.languageCodes));
    if (!m_client.customVocabulary.isEmpty())
        transcription.insert(QStringLiteral("customVocabulary"),
                             QJsonArray::fromStringList(m_client.customVocabulary.mid(0, 1000)));
    const QJsonObject setup{
        {QStringLiteral("model"), QStringLiteral("models/") + m_client.model},
        {QStringLiteral("generationConfig"),
         QJsonObject{{QStringLiteral("responseModalities"), QJsonArray{QStringLiteral("TEXT")}}}},
        {QStringLiteral("realtimeInputConfig"),
         QJsonObject{{QStringLiteral("automaticActivityDetection"),
                      QJsonObject{{QStringLiteral("disabled"), true}}}}},
        {QStringLiteral("inputAudioTranscription"), transcription}};
    return QJsonObject{{QStringLiteral("setup"), setup}};
}

void LiveSession::open()
{
    const GeminiResult<QUrl> url = GeminiEndpoints::liveAddress();
    if (!url.ok())
        return fail(url.error());
    if (m_client.apiKey.isEmpty())
        return fail(GeminiError::noApiKey());
    // A line break in the key would end the header early and smuggle in another one.
    if (hasControlCharacters(m_client.apiKey))
        return fail(GeminiError::invalidApiKey());
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    m_socket->setMaxAllowedIncomingMessageSize(quint64(m_limits.maxMessageBytes));
    // The proxy the REST requests take to the same host.
    QUrl asHttp = url.value();
    asHttp.setScheme(asHttp.scheme() == QLatin1String("wss") ? QStringLiteral("https")
                                                             : QStringLiteral("http"));
    const QList<QNetworkProxy> proxies =
        QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(asHttp));
    if (!proxies.isEmpty())
        m_socket->setProxy(proxies.first());
    connect(m_socket, &QWebSocket::connected, this, &LiveSession::onConnected);
    connect(m_socket, &QWebSocket::textMessageReceived, this,
            [this](const QString &text) { onMessage(text.toUtf8()); });
    connect(m_socket, &QWebSocket::binaryMessageReceived, this, &LiveSession::onMessage);
    connect(m_socket, &QWebSocket::disconnected, this, &LiveSession::onClosed);
    QNetworkRequest request(url.value());
    // The key in a header of the upgrade, never in the address.
    request.setRawHeader("x-goog-api-key", m_client.apiKey.toUtf8());
    m_setupTimer.start(m_limits.setupTimeoutMs);
    m_socket->open(request);
}

void LiveSession::onConnected()
{
    send(setupMessage());
}

void LiveSession::send(const QJsonObject &message)
{
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->sendTextMessage(
            QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

void LiveSession::addAudio(const QByteArray &pcm)
{
    if (m_failure || m_finishing || m_done)
        return;
    m_audioBytes += pcm.size();
    if (double(m_audioBytes) > m_limits.maxAudioSeconds * bytesPerSecond)
        return fail(
            GeminiError::transport(QStringLiteral("the recording passed the live session's %1 s")
                                       .arg(m_limits.maxAudioSeconds)));
    m_pending += pcm;
    if (m_ready)
        sendChunks(false);
}

void LiveSession::sendChunks(bool all)
{
    qsizetype at = 0;
    while (m_pending.size() - at >= chunkBytes || (all && at < m_pending.size())) {
        const QByteArray chunk = m_pending.mid(at, chunkBytes);
        at += chunk.size();
        send(QJsonObject{{QStringLiteral("realtimeInput"),
                          QJsonObject{{QStringLiteral("audio"),
                                       QJsonObject{{QStringLiteral("data"),
                                                    QString::fromLatin1(chunk.toBase64())},
                                                   {QStringLiteral("mimeType"), audioType}}}}}});
    }
    m_pending.remove(0, at);
}

void LiveSession::finish()
{
    if (m_finishing || m_done)
        return;
    m_finishing = true;
    if (m_failure) {
        // Reported from the event loop, as a finish that waited would be.
        const GeminiError error = *m_failure;
        QMetaObject::invokeMethod(
            this, [this, error] { complete(error); }, Qt::QueuedConnection);
        return;
    }
    m_finalTimer.start(m_limits.finalTimeoutMs);
    m_answerTimer.start(m_limits.answerTimeoutMs);
    if (m_ready) {
        sendChunks(true);
        send(QJsonObject{{QStringLiteral("realtimeInput"),
                          QJsonObject{{QStringLiteral("activityEnd"), QJsonObject()}}}});
    }
}

void LiveSession::close()
{
    m_done = true;
    m_setupTimer.stop();
    m_answerTimer.stop();
    m_finalTimer.stop();
    m_pending.clear();
    // The close frame goes out before the session goes; a service that does not answer it is
    // not waited for long.
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) {
        connect(m_socket, &QWebSocket::disconnected, this, &QObject::deleteLater);
        m_socket->close();
        QTimer::singleShot(2000, this, &QObject::deleteLater);
    } else {
        deleteLater();
    }
}

void LiveSession::onMessage(const QByteArray &message)
{
    if (m_done || m_failure)
        return;
    if (message.size() > m_limits.maxMessageBytes)
        return fail(GeminiError::badResponse(QStringLiteral("a live message was too large")));
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(message, &parseError);
    if (!document.isObject())
        return fail(GeminiError::invalidJson(parseError.errorString()));
    const QJsonObject object = document.object();
    if (m_finishing)
        m_answerTimer.start(m_limits.answerTimeoutMs);

    if (object.contains(QLatin1String("setupComplete"))) {
        m_setupTimer.stop();
        m_ready = true;
        send(QJsonObject{{QStringLiteral("realtimeInput"),
                          QJsonObject{{QStringLiteral("activityStart"), QJsonObject()}}}});
        sendChunks(m_finishing);
        if (m_finishing)
            send(QJsonObject{{QStringLiteral("realtimeInput"),
                              QJsonObject{{QStringLiteral("activityEnd"), QJsonObject()}}}});
        return;
    }
    if (object.contains(QLatin1String("goAway"))) {
        // The service ends the session soon; a final answer may not come in time.
        if (!m_finishing)
            fail(GeminiError::transport(
                QStringLiteral("the live session was ended by the service")));
        return;
    }
    const QJsonObject error = object.value(QLatin1String("error")).toObject();
    if (!error.isEmpty())
        return fail(GeminiError::http(error.value(QLatin1String("code")).toInt(400),
                                      error.value(QLatin1String("message")).toString()));

    const QJsonObject content = object.value(QLatin1String("serverContent")).toObject();
    if (content.isEmpty())
        return;
    const QString settled = content.value(QLatin1String("inputTranscription"))
                                .toObject()
                                .value(QLatin1String("text"))
                                .toString();
    if (!settled.isEmpty()) {
        m_settled += settled;
        Q_EMIT interim(m_settled);
    }
    const QString inFlux = content.value(QLatin1String("interimInputTranscription"))
                               .toObject()
                               .value(QLatin1String("text"))
                               .toString();
    if (!inFlux.isEmpty())
        Q_EMIT interim(m_settled + inFlux);
    if (m_finishing && (content.value(QLatin1String("generationComplete")).toBool() ||
                        content.value(QLatin1String("turnComplete")).toBool())) {
        const QString text = m_settled.trimmed();
        if (text.isEmpty())
            return complete(GeminiError::emptyResponse());
        complete(text);
        close();
    }
}

void LiveSession::onClosed()
{
    if (m_done || m_failure)
        return;
    fail(closeError(m_socket->closeCode(), m_socket->closeReason()));
}

void LiveSession::fail(const GeminiError &error)
{
    if (m_failure || m_done)
        return;
    m_failure = error;
    m_setupTimer.stop();
    m_answerTimer.stop();
    m_finalTimer.stop();
    m_pending.clear();
    if (m_socket && m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    if (m_finishing)
        complete(error);
}

void LiveSession::complete(const GeminiResult<QString> &result)
{
    if (m_done)
        return;
    m_done = true;
    m_setupTimer.stop();
    m_answerTimer.stop();
    m_finalTimer.stop();
    Q_EMIT finished(result);
}
