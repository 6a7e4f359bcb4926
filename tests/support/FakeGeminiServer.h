#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QUrl>
#include <deque>

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
        QByteArray location; // sent as the Location header when set
    };

    struct Request
    {
        QByteArray method;
        QByteArray target;                     // path and query as sent
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QList<QByteArray> headerNames;         // in the order sent, lower case
        QByteArray body;
        qint64 receivedMs = 0; // since the server started
    };

    explicit FakeGeminiServer(QObject *parent = nullptr);

    // The address to put into VESK_GEMINI_BASE_URL.
    QString baseUrl() const;
    // Answers for the next requests, in order; once used up, requests get `fallback`.
    void enqueue(const Answer &answer);
    void enqueue(int status, const QByteArray &body = {});
    void setFallback(const Answer &answer);

    const QList<Request> &requests() const { return m_requests; }
    void clear();
    // Runs the event loop until `count` requests arrived or the time is up.
    bool waitForRequests(int count, int timeoutMs = 10000);

    static QByteArray generateContentAnswer(const QString &text);
    static QByteArray interactionsAnswer(const QString &text);
    static QByteArray modelsAnswer(const QStringList &names);
    static QByteArray errorAnswer(const QString &message);

Q_SIGNALS:
    void requestReceived();

private:
    void onConnection();
    void onData(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Answer &answer);

    QTcpServer m_server;
    QElapsedTimer m_clock;
    std::deque<Answer> m_script;
    Answer m_fallback{404, R"({"error":{"message":"not scripted"}})", false};
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
