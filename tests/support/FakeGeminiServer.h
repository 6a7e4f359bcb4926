#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QTcpServer>
#include <deque>
#include <functional>
#include <optional>
#include <utility>

class QTcpSocket;

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
                     QObject *parent = nullptr);
    ~FakeGeminiServer() override;

    // The address to put into VESK_GEMINI_BASE_URL.
    QString baseUrl() const;
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
    void clear();
    // A WebSocket upgrade ("GET /ws/...") is handed to this untouched, for a Live API fake on the
    // same port.
    void setUpgradeHandler(std::function<void(QTcpSocket *)> handler)
    {
        m_upgrade = std::move(handler);
    }
    // Runs the event loop until `count` requests arrived or the time is up.
    bool waitForRequests(int count, int timeoutMs = 10000);

    static QByteArray generateContentAnswer(const QString &text);
    static QByteArray interactionsAnswer(const QString &text);
    // Each entry offers generateContent, or only the Live API's method when named in streamingOnly.
    static QByteArray modelsAnswer(const QStringList &names, const QStringList &streamingOnly = {});
    static QByteArray errorAnswer(const QString &message);

Q_SIGNALS:
    void requestReceived();

private:
    void onConnection();
    void onData(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Answer &answer);
    std::optional<Answer> filesAnswer(const Request &request);

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
