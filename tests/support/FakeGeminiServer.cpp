#include "FakeGeminiServer.h"

#include <QtCore/qtestsupport_core.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace

FakeGeminiServer::FakeGeminiServer(const QSslConfiguration &tls, const QString &hostName,
                                   QObject *parent)
    : QObject(parent)
{
    if (tls.isNull()) {
        m_server = new QTcpServer(this);
    } else {
        // Connections are handed over once their handshake is done.
        auto *server = new QSslServer(this);
        server->setSslConfiguration(tls);
        m_server = server;
        m_scheme = u"https"_s;
        m_host = hostName;
    }
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this,
            &FakeGeminiServer::onConnection);
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        qFatal("fake Gemini server cannot listen: %s", qPrintable(m_server->errorString()));
    m_clock.start();
}

FakeGeminiServer::~FakeGeminiServer()
{
    // A connection a client left open (a killed process, an answer that hangs) closes after the
    // members its handlers use are gone.
    for (QTcpSocket *socket : findChildren<QTcpSocket *>())
        socket->disconnect(this);
}

QString FakeGeminiServer::baseUrl() const
{
    return u"%1://%2:%3"_s.arg(m_scheme, m_host).arg(m_server->serverPort());
}

void FakeGeminiServer::clear()
{
    m_script.clear();
    m_requests.clear();
    m_deleted.clear();
}

bool FakeGeminiServer::waitForRequests(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_requests.size() >= count; }, timeoutMs);
}

void FakeGeminiServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        m_connections.append(m_clock.elapsed());
        m_connectionOf.insert(socket, int(m_connections.size()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            m_connectionOf.remove(socket);
            socket->deleteLater();
        });
        // Over TLS, what came with the end of the handshake is already waiting.
        if (socket->bytesAvailable() > 0)
            onData(socket);
    }
}

void FakeGeminiServer::onData(QTcpSocket *socket)
{
    if (m_upgrade && m_buffers.value(socket).isEmpty() && socket->peek(8).startsWith("GET /ws/")) {
        disconnect(socket, nullptr, this, nullptr);
        m_buffers.remove(socket);
        m_connectionOf.remove(socket);
        m_upgrade(socket);
        return;
    }
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    // A kept-alive connection may carry several requests.
    for (;;) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;

        Request request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
        request.method = start.value(0);
        request.target = start.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed().toLower();
            request.headers.insert(name, lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        request.receivedMs = m_clock.elapsed();
        request.connection = m_connectionOf.value(socket);
        m_requests.append(request);

        Answer next = m_fallback;
        if (const std::optional<Answer> files = filesAnswer(request)) {
            next = *files;
        } else if (!m_script.empty()) {
            next = m_script.front();
            m_script.pop_front();
        }
        Q_EMIT requestReceived();
        answer(socket, next);
        if (!m_keepAlive || socket->state() != QAbstractSocket::ConnectedState)
            return;
    }
}

std::optional<FakeGeminiServer::Answer> FakeGeminiServer::filesAnswer(const Request &request)
{
    const QByteArray command = request.headers.value("x-goog-upload-command");
    if (request.method == "POST" && request.target == "/upload/v1beta/files" &&
        command == "start" && request.headers.value("x-goog-upload-protocol") == "resumable") {
        const QString id = QString::number(++m_nextId);
        m_pendingUploads.insert(
            id, {request.headers.value("x-goog-upload-header-content-type"),
                 QByteArray::number(
                     request.headers.value("x-goog-upload-header-content-length").toLongLong())});
        const QByteArray url = (baseUrl() + u"/upload/v1beta/files?upload_id="_s + id).toUtf8();
        return Answer{.body = "{}",
                      .headers = {{"X-Goog-Upload-URL", url}, {"X-Goog-Upload-Status", "active"}}};
    }
    if (request.method == "POST" && request.target.startsWith("/upload/v1beta/files?upload_id=")) {
        const QString id = QString::fromUtf8(request.target.mid(request.target.indexOf('=') + 1));
        if (!m_pendingUploads.contains(id) || command != "upload, finalize" ||
            request.headers.value("x-goog-upload-offset") != "0")
            return Answer{400, errorAnswer(u"bad upload"_s)};
        if (m_hangUploads)
            return Answer{200, {}, true};
        File file = m_pendingUploads.take(id);
        // The length announced at the start must be what arrives.
        if (file.bytes.toLongLong() != request.body.size())
            return Answer{400, errorAnswer(u"length differs"_s)};
        file.bytes = request.body;
        const QString name = u"files/upload"_s + id;
        const QJsonObject described{{u"name"_s, name},
                                    {u"uri"_s, baseUrl() + u"/v1beta/"_s + name},
                                    {u"mimeType"_s, QString::fromUtf8(file.mimeType)},
                                    {u"state"_s, u"ACTIVE"_s}};
        m_files.insert(name, file);
        return Answer{.body = compact({{u"file"_s, described}}),
                      .headers = {{"X-Goog-Upload-Status", "final"}}};
    }
    if (request.method == "DELETE" && request.target.startsWith("/v1beta/files/")) {
        const QString name = QString::fromUtf8(request.target.mid(sizeof("/v1beta/") - 1));
        if (!m_files.remove(name))
            return Answer{404, errorAnswer(u"no such file"_s)};
        m_deleted.append(name);
        return Answer{200, "{}"};
    }
    return std::nullopt;
}

void FakeGeminiServer::answer(QTcpSocket *socket, const Answer &answer)
{
    if (answer.hang)
        return;
    if (answer.drop) {
        socket->disconnectFromHost();
        return;
    }
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " Scripted\r\n";
    reply += "Content-Type: application/json\r\n";
    if (answer.chunked)
        reply += "Transfer-Encoding: chunked\r\n";
    else
        reply += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    for (const auto &[name, value] : answer.headers)
        reply += name + ": " + value + "\r\n";
    reply += m_keepAlive ? "\r\n" : "Connection: close\r\n\r\n";
    // A chunked body goes in one chunk and the last; a cut one stops short, before the last chunk.
    const bool cut = answer.cutAfter >= 0;
    QByteArray body = cut ? answer.body.left(answer.cutAfter) : answer.body;
    if (answer.chunked && !answer.body.isEmpty())
        body = QByteArray::number(answer.body.size(), 16) + "\r\n" + body +
               (cut ? QByteArray() : "\r\n"_ba);
    if (answer.chunked && !cut)
        body += "0\r\n\r\n";
    if (answer.dripMs <= 0) {
        socket->write(reply + body);
        if (cut || !m_keepAlive)
            socket->disconnectFromHost();
        return;
    }
    socket->write(reply);
    // Owned by the socket, so it stops when the client goes away.
    auto *drip = new QTimer(socket);
    connect(drip, &QTimer::timeout, socket, [socket, drip, body, at = qsizetype(0)]() mutable {
        if (at < body.size())
            socket->write(body.mid(at++, 1));
        if (at >= body.size()) {
            drip->stop();
            socket->disconnectFromHost();
        }
    });
    drip->start(answer.dripMs);
}

QByteArray FakeGeminiServer::generateContentAnswer(const QString &text)
{
    const QJsonObject part{{u"text"_s, text}};
    const QJsonObject content{{u"parts"_s, QJsonArray{part}}};
    const QJsonObject candidate{{u"content"_s, content}};
    return compact({{u"candidates"_s, QJsonArray{candidate}}});
}

QByteArray FakeGeminiServer::interactionsAnswer(const QString &text)
{
    const QJsonObject piece{{u"type"_s, u"text"_s}, {u"text"_s, text}};
    const QJsonObject step{{u"content"_s, QJsonArray{piece}}};
    return compact({{u"steps"_s, QJsonArray{step}}});
}

QByteArray FakeGeminiServer::modelsAnswer(const QStringList &names,
                                          const QStringList &streamingOnly)
{
    QJsonArray models;
    for (const QString &name : names)
        models.append(QJsonObject{{u"name"_s, u"models/"_s + name},
                                  {u"supportedGenerationMethods"_s,
                                   streamingOnly.contains(name)
                                       ? QJsonArray{u"bidiGenerateContent"_s, u"countTokens"_s}
                                       : QJsonArray{u"generateContent"_s, u"countTokens"_s}}});
    return compact({{u"models"_s, models}});
}

QByteArray FakeGeminiServer::errorAnswer(const QString &message)
{
    return compact({{u"error"_s, QJsonObject{{u"message"_s, message}}}});
}
