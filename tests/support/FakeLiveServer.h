#pragma once

#include "FakeGeminiServer.h"

#include <QWebSocket>
#include <QWebSocketServer>

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

    explicit FakeLiveServer(FakeGeminiServer *http, QObject *parent = nullptr)
        : QObject(parent),
          m_server(new QWebSocketServer(u"fake-live"_s, QWebSocketServer::NonSecureMode, this))
    {
        connect(m_server, &QWebSocketServer::newConnection, this, &FakeLiveServer::onConnection);
        http->setUpgradeHandler([this](QTcpSocket *socket) { m_server->handleConnection(socket); });
    }

    void setScript(const Script &script) { m_script = script; }
    const QList<Session> &sessions() const { return m_sessions; }
    void clear()
    {
        m_sessions.clear();
        m_script = Script();
    }

private:
    void onConnection()
    {
        while (QWebSocket *socket = m_server->nextPendingConnection()) {
            Session session;
            const QNetworkRequest request = socket->request();
            session.path = request.url().toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
            for (const QByteArray &name : request.rawHeaderList())
                session.headers.insert(name.toLower(), request.rawHeader(name));
            session.script = m_script;
            const int index = int(m_sessions.size());
            m_sessions.append(session);
            auto handle = [this, index, socket](const QByteArray &message) {
                onMessage(index, socket, message);
            };
            connect(socket, &QWebSocket::textMessageReceived, this,
                    [handle](const QString &text) { handle(text.toUtf8()); });
            connect(socket, &QWebSocket::binaryMessageReceived, this, handle);
            connect(socket, &QWebSocket::disconnected, this, [this, index, socket] {
                m_sessions[index].closed = true;
                socket->deleteLater();
            });
        }
    }
    void onMessage(int index, QWebSocket *socket, const QByteArray &message)
    {
        Session &session = m_sessions[index];
        const Script &script = session.script;
        const QJsonObject object = QJsonDocument::fromJson(message).object();
        if (object.size() != 1)
            return problem(index, socket, u"not one message field: "_s + message);

        if (session.setup.isEmpty()) {
            const QJsonObject setup = object.value("setup"_L1).toObject();
            if (setup.isEmpty())
                return problem(index, socket, u"the first message is not a setup"_s);
            session.setup = setup;
            if (!setup.value("model"_L1).toString().startsWith("models/"_L1))
                return problem(index, socket, u"model without models/"_s);
            if (setup["generationConfig"_L1]["responseModalities"_L1].toArray() !=
                QJsonArray{u"TEXT"_s})
                return problem(index, socket, u"responseModalities is not [TEXT]"_s);
            if (!setup["realtimeInputConfig"_L1]["automaticActivityDetection"_L1]["disabled"_L1]
                     .toBool())
                return problem(index, socket, u"automatic activity detection is on"_s);
            if (!setup.value("inputAudioTranscription"_L1).isObject())
                return problem(index, socket, u"no inputAudioTranscription"_s);
            if (script.behaviour == Behaviour::refuse)
                return socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                                     u"API key not valid. Please pass a valid API key."_s);
            return sendJson(socket, QJsonObject{{u"setupComplete"_s, QJsonObject()}});
        }

        const QJsonObject input = object.value("realtimeInput"_L1).toObject();
        if (input.size() != 1)
            return problem(index, socket, u"not one realtime input: "_s + message);
        if (input.contains("activityStart"_L1)) {
            if (session.activityStart)
                return problem(index, socket, u"a second activityStart"_s);
            session.activityStart = true;
            return;
        }
        if (input.contains("activityEnd"_L1)) {
            if (!session.activityStart || session.activityEnd)
                return problem(index, socket, u"activityEnd out of turn"_s);
            session.activityEnd = true;
            if (script.behaviour != Behaviour::answer)
                return;
            for (const QString &piece : script.pieces)
                sendJson(socket, QJsonObject{{u"serverContent"_s,
                                              QJsonObject{{u"inputTranscription"_s,
                                                           QJsonObject{{u"text"_s, piece}}}}}});
            sendJson(socket, QJsonObject{{u"serverContent"_s,
                                          QJsonObject{{u"generationComplete"_s, true}}}});
            sendJson(socket,
                     QJsonObject{{u"serverContent"_s, QJsonObject{{u"turnComplete"_s, true}}}});
            return;
        }
        const QJsonObject audio = input.value("audio"_L1).toObject();
        if (audio.isEmpty())
            return problem(index, socket, u"unknown realtime input: "_s + message);
        if (!session.activityStart || session.activityEnd)
            return problem(index, socket, u"audio outside the activity"_s);
        if (audio.value("mimeType"_L1).toString() != "audio/pcm;rate=16000"_L1)
            return problem(index, socket, u"audio type "_s + audio.value("mimeType"_L1).toString());
        const auto decoded = QByteArray::fromBase64Encoding(
            audio.value("data"_L1).toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.isEmpty() || decoded.decoded.size() % 2)
            return problem(index, socket, u"audio data that is not 16-bit Base64 PCM"_s);
        session.chunkBytes.append(int(decoded.decoded.size()));
        const int chunks = int(session.chunkBytes.size());
        if (script.behaviour == Behaviour::close && chunks >= script.afterChunks)
            return socket->close(QWebSocketProtocol::CloseCode(1011),
                                 u"Internal error encountered."_s);
        if (script.behaviour == Behaviour::cut && chunks >= script.afterChunks)
            return socket->abort();
        // An interim text after every third audio chunk: as many of the transcript's words as the
        // chunks allow, words in flux.
        if (script.behaviour == Behaviour::answer && chunks % 3 == 0) {
            const QStringList words = script.pieces.join(QString()).split(u' ', Qt::SkipEmptyParts);
            const QString text =
                words.mid(0, std::min<qsizetype>(words.size(), chunks / 3)).join(u' ');
            sendJson(socket, QJsonObject{{u"serverContent"_s,
                                          QJsonObject{{u"interimInputTranscription"_s,
                                                       QJsonObject{{u"text"_s, text}}}}}});
        }
    }
    void problem(int index, QWebSocket *socket, const QString &what)
    {
        m_sessions[index].problems.append(what);
        socket->close(QWebSocketProtocol::CloseCodeWrongDatatype, what);
    }
    static void sendJson(QWebSocket *socket, const QJsonObject &message)
    {
        // The service sends its JSON in binary frames.
        socket->sendBinaryMessage(QJsonDocument(message).toJson(QJsonDocument::Compact));
    }

    QWebSocketServer *m_server = nullptr;
    Script m_script;
    QList<Session> m_sessions;
};
