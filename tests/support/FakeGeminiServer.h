#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtCore/qtestsupport_core.h>
#include <deque>
#include <functional>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

// A small HTTP/1.1 server on 127.0.0.1 that answers like the Gemini API from a script of answers
// and records every request it got, for tests of the real network code.
class FakeGeminiServer : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        // Never answers: the client has to give up or cancel.
        bool hang = false;
        // Closes the connection once the request is read, without a word.
        bool drop = false;
        // Sends the body one byte at a time, this many milliseconds apart (0: all at once).
        int dripMs = 0;
        QList<std::pair<QByteArray, QByteArray>> headers; // further headers, as they are
        bool chunked = false; // the body in one chunk and the last, instead of a Content-Length
        // Closes the connection after this many bytes of the body (and before the last chunk).
        qsizetype cutAfter = -1;
    };

    struct Request
    {
        QByteArray method;
        QByteArray target;                     // path and query as sent
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        qint64 receivedMs = 0; // since the server started
        int connection = 0;    // which accepted connection carried it, counted from 1
    };

    // A file given to the upload endpoints, kept until deleted.
    struct File
    {
        QByteArray mimeType;
        QByteArray bytes;
    };

    explicit FakeGeminiServer(QObject *parent = nullptr)
        : FakeGeminiServer(QSslConfiguration(), QString(), parent)
    {}
    // The same over TLS with this certificate and key, named hostName in its addresses (the
    // benchmarks reach it through a proxy that takes any name to 127.0.0.1).
    FakeGeminiServer(const QSslConfiguration &tls, const QString &hostName,
                     QObject *parent = nullptr)
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
    ~FakeGeminiServer() override
    {
        // A connection a client left open (a killed process, an answer that hangs) closes after the
        // members its handlers use are gone.
        for (QTcpSocket *socket : findChildren<QTcpSocket *>())
            socket->disconnect(this);
    }

    // The address to put into VESK_GEMINI_BASE_URL.
    QString baseUrl() const
    {
        return u"%1://%2:%3"_s.arg(m_scheme, m_host).arg(m_server->serverPort());
    }
    // Answers for the next requests, in order; once used up, requests get `fallback`.
    void enqueue(const Answer &answer) { m_script.push_back(answer); }
    void enqueue(int status, const QByteArray &body = {}) { m_script.push_back({status, body}); }
    void setFallback(const Answer &answer) { m_fallback = answer; }

    const QList<Request> &requests() const { return m_requests; }
    // Connections accepted so far, and when each was (ms since the server started).
    const QList<qint64> &connections() const { return m_connections; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    // Keeps connections open between answers, as the real service does (default: closes them).
    void setKeepAlive(bool on) { m_keepAlive = on; }
    // The resumable upload and delete endpoints of the files API answer on their own, outside
    // the script: uploaded files by name ("files/..."), and the names deleted since.
    const QHash<QString, File> &files() const { return m_files; }
    const QStringList &deletedFiles() const { return m_deleted; }
    // Receives the bytes of an upload but never answers.
    void setHangUploads(bool on) { m_hangUploads = on; }
    void clear()
    {
        m_script.clear();
        m_requests.clear();
        m_deleted.clear();
    }
    // A WebSocket upgrade ("GET /ws/...") is handed to this untouched, for a Live API fake on the
    // same port.
    void setUpgradeHandler(std::function<void(QTcpSocket *)> handler)
    {
        m_upgrade = std::move(handler);
    }
    // Runs the event loop until `count` requests arrived or the time is up.
    bool waitForRequests(int count, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return m_requests.size() >= count; }, timeoutMs);
    }

    static QByteArray generateContentAnswer(const QString &text)
    {
        const QJsonObject part{{u"text"_s, text}};
        const QJsonObject content{{u"parts"_s, QJsonArray{part}}};
        const QJsonObject candidate{{u"content"_s, content}};
        return compact({{u"candidates"_s, QJsonArray{candidate}}});
    }
    static QByteArray interactionsAnswer(const QString &text)
    {
        const QJsonObject piece{{u"type"_s, u"text"_s}, {u"text"_s, text}};
        const QJsonObject step{{u"content"_s, QJsonArray{piece}}};
        return compact({{u"steps"_s, QJsonArray{step}}});
    }
    // Each entry offers generateContent, or only the Live API's method when named in streamingOnly.
    static QByteArray modelsAnswer(const QStringList &names, const QStringList &streamingOnly = {})
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
    static QByteArray errorAnswer(const QString &message)
    {
        return compact({{u"error"_s, QJsonObject{{u"message"_s, message}}}});
    }

Q_SIGNALS:
    void requestReceived();

private:
    static QByteArray compact(const QJsonObject &o)
    {
        return QJsonDocument(o).toJson(QJsonDocument::Compact);
    }
    void onConnection()
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
    void onData(QTcpSocket *socket)
    {
        if (m_upgrade && m_buffers.value(socket).isEmpty() &&
            socket->peek(8).startsWith("GET /ws/")) {
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
            for (const QByteArray &line : lines.mid(1)) {
                if (const qsizetype colon = line.indexOf(':'); colon > 0)
                    request.headers.insert(line.left(colon).trimmed().toLower(),
                                           line.mid(colon + 1).trimmed());
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
    std::optional<Answer> filesAnswer(const Request &request)
    {
        const QByteArray command = request.headers.value("x-goog-upload-command");
        if (request.method == "POST" && request.target == "/upload/v1beta/files" &&
            command == "start" && request.headers.value("x-goog-upload-protocol") == "resumable") {
            const QString id = QString::number(++m_nextId);
            // The announced length stands in for the bytes until they come.
            m_pendingUploads.insert(id,
                                    {request.headers.value("x-goog-upload-header-content-type"),
                                     request.headers.value("x-goog-upload-header-content-length")});
            const QByteArray url = (baseUrl() + u"/upload/v1beta/files?upload_id="_s + id).toUtf8();
            return Answer{
                .body = "{}",
                .headers = {{"X-Goog-Upload-URL", url}, {"X-Goog-Upload-Status", "active"}}};
        }
        if (request.method == "POST" &&
            request.target.startsWith("/upload/v1beta/files?upload_id=")) {
            const QString id =
                QString::fromUtf8(request.target.mid(request.target.indexOf('=') + 1));
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
    void answer(QTcpSocket *socket, const Answer &answer)
    {
        if (answer.hang)
            return;
        if (answer.drop)
            return socket->disconnectFromHost();
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " Scripted\r\n";
        reply += "Content-Type: application/json\r\n";
        if (answer.chunked)
            reply += "Transfer-Encoding: chunked\r\n";
        else
            reply += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        for (const auto &[name, value] : answer.headers)
            reply += name + ": " + value + "\r\n";
        reply += m_keepAlive ? "\r\n" : "Connection: close\r\n\r\n";
        // A chunked body goes in one chunk and the last; a cut one stops short, before the last
        // chunk.
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

    QTcpServer *m_server = nullptr;
    QString m_scheme = QStringLiteral("http");
    QString m_host = QStringLiteral("127.0.0.1");
    QElapsedTimer m_clock;
    std::deque<Answer> m_script;
    Answer m_fallback{404, R"({"error":{"message":"not scripted"}})", false};
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QHash<QTcpSocket *, int> m_connectionOf;
    QList<qint64> m_connections;
    bool m_keepAlive = false;
    bool m_hangUploads = false;
    QHash<QString, File> m_files;
    QHash<QString, File> m_pendingUploads; // by upload id
    QStringList m_deleted;
    int m_nextId = 0;
    std::function<void(QTcpSocket *)> m_upgrade;
};
