#include "transcription/GeminiExchange.h"

#include "transcription/GeminiAnswers.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace {

bool worthRetrying(int status)
{
    return status == 429 || status >= 500;
}

// Errors of the network layer itself (connection, time-out, TLS, proxy): no HTTP answer to read.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

// A request body that can be read once only. Qt's HTTP layer quietly sends a request again when
// the connection closes before an answer; it needs to rewind the body for that, and this body
// refuses, so the failure surfaces and only the attempts of the schedule reach the service.
class OneShotBody : public QIODevice
{
public:
    OneShotBody(QByteArray bytes, QObject *parent) : QIODevice(parent), m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override
    {
        return m_bytes.size() - m_at + QIODevice::bytesAvailable();
    }
    bool atEnd() const override { return m_at >= m_bytes.size() && QIODevice::atEnd(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min(maxSize, qint64(m_bytes.size() - m_at));
        std::memcpy(data, m_bytes.constData() + m_at, size_t(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qsizetype m_at = 0;
};

bool hasControlCharacters(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// What to show for an answer other than 200: the service's message, or for a redirect (never
// followed: it would carry the key elsewhere) where it pointed.
QString httpMessage(const QNetworkReply *reply, int status, const QByteArray &body)
{
    if (status >= 300 && status < 400) {
        const QString location = QString::fromUtf8(reply->rawHeader("Location"));
        return location.isEmpty()
                   ? QCoreApplication::translate("GeminiError", "a redirect, not followed")
                   : QCoreApplication::translate("GeminiError", "a redirect to %1, not followed")
                         .arg(location);
    }
    if (body.trimmed().isEmpty()) {
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        return reason.isEmpty() ? QCoreApplication::translate("GeminiError", "no message") : reason;
    }
    return GeminiAnswers::errorMessage(body);
}

// Whether JSON text stops inside a string or an unclosed object or array. Only the nesting is
// followed, not the grammar: it tells a body cut short from one that is whole but wrong.
bool endsInsideJson(const QByteArray &text)
{
    qsizetype depth = 0;
    bool inString = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
    }
    return inString || depth > 0;
}

// One rule for an answer that ends early, however Qt happens to report it: fewer bytes than its
// Content-Length, or (where the length cannot be counted: chunked, compressed, ended by the
// close) a 200 answer that stops in the middle of its JSON. Both mean the connection dropped.
bool cutShort(const QNetworkReply *reply, int status, const QByteArray &body)
{
    const bool decoded =
        reply->hasRawHeader("Content-Encoding") ||
        reply->attribute(QNetworkRequest::OriginalContentLengthAttribute).isValid();
    bool counted = false;
    const qint64 length = reply->rawHeader("Content-Length").toLongLong(&counted);
    if (counted && !decoded)
        return body.size() < length;
    return status == 200 && endsInsideJson(body);
}

QString droppedMidAnswer()
{
    return QCoreApplication::translate("GeminiError",
                                       "the connection was closed before the whole answer came");
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
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        m_cut = Cut::deadline;
        m_reply->abort();
    });
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
    m_network = m_settings.network ? m_settings.network : new QNetworkAccessManager(this);
    sendAttempt();
}

void GeminiExchange::sendAttempt()
{
    // The shared session went away with its owner: nobody waits for this answer any more.
    if (!m_network)
        return finish(GeminiError::cancelled());
    ++m_attempt;
    m_body.clear();
    m_cut = Cut::none;
    QNetworkRequest request(m_settings.address);
    // The transfer time-out counts idle time only; the deadline below bounds the whole attempt,
    // so an answer that trickles in byte by byte cannot hold it open.
    request.setTransferTimeout(m_settings.timeoutSeconds * 1000);
    // A redirect would carry the key to another address; report it as the status it is.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    // HTTP/2 where the service offers it (one connection carries every request); pipelining
    // never, so that a dropped HTTP/1.1 connection takes one request with it at most.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, true);
    request.setAttribute(QNetworkRequest::HttpPipeliningAllowedAttribute, false);
    // Qt would otherwise copy the body into a rewindable buffer of its own.
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    if (!m_settings.apiKey.isEmpty())
        request.setRawHeader("x-goog-api-key", m_settings.apiKey.toUtf8());
    for (const auto &[name, value] : m_settings.headers)
        request.setRawHeader(name, value);
    const bool post = m_settings.method == "POST";
    if (post)
        request.setRawHeader("Content-Type", m_settings.contentType);
    // A GET or DELETE goes without a body and so without a Content-Length. Qt may then send it
    // once more on a fresh connection when the first closes before any answer, which HTTP allows
    // for these: they change nothing that a second one would change again.
    const QByteArray &bytes = post ? m_settings.body : QByteArray();
    if (post) {
        request.setHeader(QNetworkRequest::ContentLengthHeader, bytes.size());
        auto *body = new OneShotBody(bytes, nullptr);
        m_reply = m_network->sendCustomRequest(request, m_settings.method, body);
        body->setParent(m_reply);
    } else {
        m_reply = m_network->sendCustomRequest(request, m_settings.method);
    }
    // Small steps, so that a huge answer is never buffered whole before it is looked at. A body
    // that Qt may not buffer makes it start the request on its next turn of the event loop, and a
    // size set before then never reaches its HTTP thread (which then reads all it is sent): the
    // size is set once more after that turn, before any answer can arrive.
    m_reply->setReadBufferSize(readStep);
    QMetaObject::invokeMethod(
        m_reply, [reply = m_reply] { reply->setReadBufferSize(readStep); }, Qt::QueuedConnection);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] { readFrom(m_reply); });
    connect(m_reply, &QNetworkReply::finished, this, &GeminiExchange::onReplyFinished);
    m_deadline.start(
        int(std::min<qint64>(qint64(m_settings.timeoutSeconds) * 1000 + bytes.size() / 64,
                             std::numeric_limits<int>::max())));
}

void GeminiExchange::readFrom(QNetworkReply *reply)
{
    // A reply that was aborted (by its transfer time-out) has nothing left to read.
    if (!reply || m_cut != Cut::none || !reply->isOpen())
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const qint64 bound = status == 200 ? maxAnswerBytes : maxErrorAnswerBytes;
    m_body += reply->read(std::max<qint64>(bound - m_body.size(), 0));
    if (reply->bytesAvailable() > 0 || m_body.size() >= bound) {
        // What lies beyond the bound is never read: the transfer stops here.
        m_cut = Cut::oversized;
        reply->abort();
    }
}

void GeminiExchange::onReplyFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    m_deadline.stop();
    reply->deleteLater();
    if (m_done)
        return;
    readFrom(reply);

    const QNetworkReply::NetworkError error = reply->error();
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // No status: the answer was not HTTP.
    const int status = statusValue.isValid() ? statusValue.toInt() : 0;
    std::optional<GeminiError> failure;
    if (m_cut == Cut::deadline) {
        failure = GeminiError::timedOut(m_settings.timeoutSeconds);
    } else if (m_cut == Cut::oversized && status == 200) {
        return finish(GeminiError::badResponse(
            QCoreApplication::translate("GeminiError", "the answer is larger than %1 MB")
                .arg(maxAnswerBytes / (1024 * 1024))));
    } else if (m_cut == Cut::none && (isTransportError(error) || (error != QNetworkReply::NoError &&
                                                                  !statusValue.isValid()))) {
        // Nobody but this object aborts the reply, and cancel() disconnects first: a cancelled
        // operation here is the transfer time-out.
        if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
            failure = GeminiError::timedOut(m_settings.timeoutSeconds);
        else if (error == QNetworkReply::ContentReSendError)
            failure = GeminiError::transport(QCoreApplication::translate(
                "GeminiError", "the connection was closed before an answer came"));
        else if (error == QNetworkReply::RemoteHostClosedError && statusValue.isValid())
            failure = GeminiError::transport(droppedMidAnswer());
        else
            failure = GeminiError::transport(reply->errorString());
    } else if (m_cut == Cut::none && cutShort(reply, status, m_body)) {
        failure = GeminiError::transport(droppedMidAnswer());
    } else {
        if (status == 200 && m_settings.answerHeader.isEmpty())
            return finish(m_body);
        if (status == 200) {
            const QByteArray value = reply->rawHeader(m_settings.answerHeader);
            if (value.isEmpty())
                return finish(GeminiError::badResponse(
                    QCoreApplication::translate("GeminiError", "the answer lacks %1")
                        .arg(QString::fromLatin1(m_settings.answerHeader))));
            return finish(value);
        }
        failure = GeminiError::http(status, httpMessage(reply, status, m_body));
        if (!worthRetrying(status))
            return finish(*failure);
    }

    if (m_attempt > m_settings.waitsMs.size())
        return finish(*failure);
    const int waitMs = m_settings.waitsMs.at(m_attempt - 1);
    Q_EMIT retrying(m_attempt, waitMs);
    if (!m_done)
        m_wait.start(waitMs);
}

void GeminiExchange::finish(const GeminiResult<QByteArray> &result)
{
    m_done = true;
    Q_EMIT finished(result);
    deleteLater();
}
