#include "FakeLiveServer.h"

#include "FakeGeminiServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

FakeLiveServer::FakeLiveServer(FakeGeminiServer *http, QObject *parent)
    : QObject(parent), m_server(new QWebSocketServer(QStringLiteral("fake-live"),
                                                     QWebSocketServer::NonSecureMode, this))
{
    connect(m_server, &QWebSocketServer::newConnection, this, &FakeLiveServer::onConnection);
    http->setUpgradeHandler([this](QTcpSocket *socket) { m_server->handleConnection(socket); });
}

FakeLiveServer::~FakeLiveServer() = default;

void FakeLiveServer::clear()
{
    m_sessions.clear();
    m_scripts.clear();
    m_script = Script();
}

void FakeLiveServer::sendJson(QWebSocket *socket, const QJsonObject &message)
{
    // The service sends its JSON in binary frames.
    socket->sendBinaryMessage(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

void FakeLiveServer::onConnection()
{
    while (QWebSocket *socket = m_server->nextPendingConnection()) {
        Session session;
        const QNetworkRequest request = socket->request();
        session.path = request.url().toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
        for (const QByteArray &name : request.rawHeaderList())
            session.headers.insert(name.toLower(), request.rawHeader(name));
        const int index = int(m_sessions.size());
        m_sessions.append(session);
        const Script script = m_script;
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
        // The script of a session is the one in force when it opened.
        m_scripts.insert(index, script);
    }
}

void FakeLiveServer::problem(int index, QWebSocket *socket, const QString &what)
{
    m_sessions[index].problems.append(what);
    socket->close(QWebSocketProtocol::CloseCodeWrongDatatype, what);
}

void FakeLiveServer::onMessage(int index, QWebSocket *socket, const QByteArray &message)
{
    Session &session = m_sessions[index];
    const Script &script = m_scripts[index];
    const QJsonObject object = QJsonDocument::fromJson(message).object();
    if (object.size() != 1)
        return problem(index, socket, QStringLiteral("not one message field: ") + message);

    if (session.setup.isEmpty()) {
        const QJsonObject setup = object.value(QLatin1String("setup")).toObject();
        if (setup.isEmpty())
            return problem(index, socket, QStringLiteral("the first message is not a setup"));
        session.setup = setup;
        if (!setup.value(QLatin1String("model")).toString().startsWith(QLatin1String("models/")))
            return problem(index, socket, QStringLiteral("model without models/"));
        if (setup.value(QLatin1String("generationConfig"))
                .toObject()
                .value(QLatin1String("responseModalities"))
                .toArray() != QJsonArray{QStringLiteral("TEXT")})
            return problem(index, socket, QStringLiteral("responseModalities is not [TEXT]"));
        if (!setup.value(QLatin1String("realtimeInputConfig"))
                 .toObject()
                 .value(QLatin1String("automaticActivityDetection"))
                 .toObject()
                 .value(QLatin1String("disabled"))
                 .toBool())
            return problem(index, socket, QStringLiteral("automatic activity detection is on"));
        if (!setup.value(QLatin1String("inputAudioTranscription")).isObject())
            return problem(index, socket, QStringLiteral("no inputAudioTranscription"));
        if (script.behaviour == Behaviour::refuse) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                          QStringLiteral("API key not valid. Please pass a valid API key."));
            return;
        }
        sendJson(socket, QJsonObject{{QStringLiteral("setupComplete"), QJsonObject()}});
        return;
    }

    const QJsonObject input = object.value(QLatin1String("realtimeInput")).toObject();
    if (input.size() != 1)
        return problem(index, socket, QStringLiteral("not one realtime input: ") + message);
    if (input.contains(QLatin1String("activityStart"))) {
        if (session.activityStart)
            return problem(index, socket, QStringLiteral("a second activityStart"));
        session.activityStart = true;
        return;
    }
    if (input.contains(QLatin1String("activityEnd"))) {
        if (!session.activityStart || session.activityEnd)
            return problem(index, socket, QStringLiteral("activityEnd out of turn"));
        session.activityEnd = true;
        if (script.behaviour != Behaviour::answer)
            return;
        for (const QString &piece : script.pieces)
            sendJson(socket,
                     QJsonObject{{QStringLiteral("serverContent"),
                                  QJsonObject{{QStringLiteral("inputTranscription"),
                                               QJsonObject{{QStringLiteral("text"), piece}}}}}});
        sendJson(socket, QJsonObject{{QStringLiteral("serverContent"),
                                      QJsonObject{{QStringLiteral("generationComplete"), true}}}});
        sendJson(socket, QJsonObject{{QStringLiteral("serverContent"),
                                      QJsonObject{{QStringLiteral("turnComplete"), true}}}});
        return;
    }
    const QJsonObject audio = input.value(QLatin1String("audio")).toObject();
    if (audio.isEmpty())
        return problem(index, socket, QStringLiteral("unknown realtime input: ") + message);
    if (!session.activityStart || session.activityEnd)
        return problem(index, socket, QStringLiteral("audio outside the activity"));
    if (audio.value(QLatin1String("mimeType")).toString() != QLatin1String("audio/pcm;rate=16000"))
        return problem(index, socket,
                       QStringLiteral("audio type ") +
                           audio.value(QLatin1String("mimeType")).toString());
    const auto decoded =
        QByteArray::fromBase64Encoding(audio.value(QLatin1String("data")).toString().toLatin1(),
                                       QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty() || decoded.decoded.size() % 2)
        return problem(index, socket, QStringLiteral("audio data that is not 16-bit Base64 PCM"));
    session.chunkBytes.append(int(decoded.decoded.size()));
    const int chunks = int(session.chunkBytes.size());
    if (script.behaviour == Behaviour::close && chunks >= script.afterChunks) {
        socket->close(QWebSocketProtocol::CloseCode(1011),
                      QStringLiteral("Internal error encountered."));
        return;
    }
    if (script.behaviour == Behaviour::cut && chunks >= script.afterChunks) {
        socket->abort();
        return;
    }
    if (script.behaviour == Behaviour::answer && script.interimEvery > 0 &&
        chunks % script.interimEvery == 0) {
        // Words in flux: as many of the transcript's words as chunks allow.
        const QStringList words =
            script.pieces.join(QString()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString text =
            words.mid(0, std::min<qsizetype>(words.size(), chunks / script.interimEvery))
                .join(QLatin1Char(' '));
        sendJson(socket, QJsonObject{{QStringLiteral("serverContent"),
                                      QJsonObject{{QStringLiteral("interimInputTranscription"),
                                                   QJsonObject{{QStringLiteral("text"), text}}}}}});
    }
}
