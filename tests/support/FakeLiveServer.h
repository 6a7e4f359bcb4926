#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QStringList>

class FakeGeminiServer;
class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

// The Live API (BidiGenerateContent) for tests, on the port of a FakeGeminiServer: checks the
// setup message and every realtime input, takes the audio, answers interim and settled
// transcriptions and the end of the generation, or refuses, closes, cuts or stalls the session as
// scripted. Every session and what it received is recorded.
class FakeLiveServer : public QObject
{
    Q_OBJECT
public:
    enum class Behaviour
    {
        answer, // setupComplete, interim words while audio comes, the pieces after activityEnd
        refuse, // closes with a policy violation as soon as the setup comes
        close,  // closes with an internal error after `afterChunks` audio chunks
        cut,    // drops the connection without a close frame after `afterChunks` chunks
        stall,  // takes everything, never answers after setupComplete
    };
    struct Script
    {
        Behaviour behaviour = Behaviour::answer;
        int afterChunks = 0;
        // The settled pieces sent after activityEnd, which make the transcript.
        QStringList pieces{QStringLiteral("Salom, "), QStringLiteral("dunyo.")};
        // An interim text after every this many audio chunks.
        int interimEvery = 3;
    };
    struct Session
    {
        QByteArray path;                       // as requested, query included
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QJsonObject setup;
        QList<int> chunkBytes; // decoded PCM bytes of each audio chunk
        bool activityStart = false;
        bool activityEnd = false;
        QStringList problems; // what broke the documented shapes
        bool closed = false;
        Script script; // the one in force when it opened
    };

    explicit FakeLiveServer(FakeGeminiServer *http, QObject *parent = nullptr);

    void setScript(const Script &script) { m_script = script; }
    const QList<Session> &sessions() const { return m_sessions; }
    void clear();

private:
    void onConnection();
    void onMessage(int index, QWebSocket *socket, const QByteArray &message);
    void problem(int index, QWebSocket *socket, const QString &what);
    static void sendJson(QWebSocket *socket, const QJsonObject &message);

    QWebSocketServer *m_server = nullptr;
    Script m_script;
    QList<Session> m_sessions;
};
