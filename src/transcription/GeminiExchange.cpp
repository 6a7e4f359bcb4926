#include "GeminiExchange.h"

#include "GeminiClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <atomic>
#include <utility>

namespace {

std::atomic<double> waitScale{1.0};

bool worthRetrying(int status)
{
    return status == 429 || status >= 500;
}

// Errors of the network layer itself (connection, time-out, TLS, proxy): no HTTP answer to read.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

bool hasControlCharacters(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

} // namespace

const QList<int> &GeminiExchange::transcriptionWaitsMs()
{
    static const QList<int> waits = {400, 1200, 3000};
    return waits;
}

GeminiExchange::GeminiExchange(Settings settings, QObject *parent)
    : QObject(parent), m_settings(std::move(settings))
{
    m_wait.setSingleShot(true);
    // Never early, so the service really gets the pause it is owed.
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &GeminiExchange::sendAttempt);
    QMetaObject::invokeMethod(this, &GeminiExchange::begin, Qt::QueuedConnection);
}

GeminiExchange::GeminiExchange(GeminiError error, QObject *parent)
    : GeminiExchange(Settings{}, parent)
{
    m_presetError = std::move(error);
}

GeminiExchange::~GeminiExchange()
{
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
    }
}

void GeminiExchange::setWaitScale(double factor)
{
    waitScale = factor;
}

void GeminiExchange::cancel()
{
    if (m_done)
        return;
    m_done = true;
    m_wait.stop();
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
        m_reply->deleteLater();
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            Q_EMIT finished(GeminiError::cancelled());
            deleteLater();
        },
        Qt::QueuedConnection);
}

void GeminiExchange::begin()
{
    if (m_done)
        return;
    if (m_presetError)
        return finish(*m_presetError);
    // A line break in the key would end the header early and smuggle in another one.
    if (hasControlCharacters(m_settings.apiKey))
        return finish(GeminiError::invalidApiKey());
    m_network = new QNetworkAccessManager(this);
    sendAttempt();
}

void GeminiExchange::sendAttempt()
{
    ++m_attempt;
    QNetworkRequest request(m_settings.address);
    request.setTransferTimeout(m_settings.timeoutSeconds * 1000);
    // A redirect would carry the key to another address; report it as the status it is.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setRawHeader("x-goog-api-key", m_settings.apiKey.toUtf8());
    if (m_settings.method == "POST") {
        request.setRawHeader("Content-Type", "application/json");
        // Shares the body's bytes; retries send the same buffer again.
        m_reply = m_network->post(request, m_settings.body);
    } else {
        m_reply = m_network->get(request);
    }
    connect(m_reply, &QNetworkReply::finished, this, &GeminiExchange::onReplyFinished);
}

void GeminiExchange::onReplyFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (m_done)
        return;

    const QNetworkReply::NetworkError error = reply->error();
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    std::optional<GeminiError> failure;
    if (isTransportError(error) || (error != QNetworkReply::NoError && !statusValue.isValid())) {
        // Nobody but this object aborts the reply, and cancel() disconnects first: a cancelled
        // operation here is the transfer time-out.
        if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
            failure = GeminiError::timedOut(m_settings.timeoutSeconds);
        else
            failure = GeminiError::transport(reply->errorString());
    } else {
        // No status: the answer was not HTTP.
        const int status = statusValue.isValid() ? statusValue.toInt() : 0;
        const QByteArray body = reply->readAll();
        if (status == 200)
            return finish(body);
        failure = GeminiError::http(status, GeminiClient::errorMessage(body));
        if (!worthRetrying(status))
            return finish(*failure);
    }

    if (m_attempt > m_settings.waitsMs.size())
        return finish(*failure);
    const int waitMs = m_settings.waitsMs.at(m_attempt - 1);
    Q_EMIT retrying(m_attempt, waitMs);
    if (!m_done)
        m_wait.start(int(waitMs * waitScale.load()));
}

void GeminiExchange::finish(const GeminiResult<QByteArray> &result)
{
    m_done = true;
    Q_EMIT finished(result);
    deleteLater();
}
