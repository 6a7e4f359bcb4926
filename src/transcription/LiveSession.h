#pragma once

#include "transcription/GeminiClient.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <optional>

class QWebSocket;

// One dictation over the Live API (BidiGenerateContent on a WebSocket): opened when the user
// starts speaking, fed the captured PCM as it comes, ended with the activity's end; the settled
// pieces of the transcription make the transcript.
//
// A session that cannot be used (refused, closed, cut, stalled, past its audio limit) fails
// quietly: failure() says why, and finish() reports that error, so the caller can send the
// recording the other way. Lives on its creator's thread.
class LiveSession : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        // The service takes up to 10 minutes of audio in one session.
        double maxAudioSeconds = 600;
        // From open() to the service's setupComplete.
        int setupTimeoutMs = 10000;
        // After the activity's end: the longest silence of the service, and the whole wait.
        int answerTimeoutMs = 15000;
        int finalTimeoutMs = 120000;
        // One message of the service at most, as for the REST answers.
        qint64 maxMessageBytes = 4 * 1024 * 1024;
    };

    // 16 kHz mono 16-bit, in chunks of 100 ms.
    static constexpr int bytesPerSecond = 32000;
    static constexpr int chunkBytes = bytesPerSecond / 10;
    static inline const QString audioType = QStringLiteral("audio/pcm;rate=16000");

    LiveSession(GeminiClient client, Limits limits, QObject *parent = nullptr);
    ~LiveSession() override;

    // A model of the Live API: its name says "live".
    static bool isLive(const QString &model);
    // The batch model that stands in for a live one: the same name without "live".
    static QString batchModel(const QString &liveModel);
    // The first message: model, text output, manual activity, the transcription settings.
    QJsonObject setupMessage() const;

    const QString &model() const { return m_client.model; }
    void open();
    // Captured PCM; sent in 100 ms chunks once the service is ready, held until then.
    void addAudio(const QByteArray &pcm);
    // Ends the activity; finished() follows once, with the transcript or why there is none.
    void finish();
    // Closes the session; nothing more is sent, finished() does not come, and the session
    // deletes itself once the close is answered.
    void close();
    const std::optional<GeminiError> &failure() const { return m_failure; }

Q_SIGNALS:
    // The words so far: the settled ones and those still in flux.
    void interim(const QString &text);
    void finished(const GeminiResult<QString> &result);

private:
    void onConnected();
    void onMessage(const QByteArray &message);
    void onClosed();
    void sendChunks(bool all);
    void send(const QJsonObject &message);
    void fail(const GeminiError &error);
    void complete(const GeminiResult<QString> &result);

    GeminiClient m_client;
    Limits m_limits;
    QWebSocket *m_socket = nullptr;
    QTimer m_setupTimer;
    QTimer m_answerTimer;
    QTimer m_finalTimer;
    QByteArray m_pending;
    qint64 m_audioBytes = 0;
    bool m_ready = false;
    bool m_finishing = false;
    bool m_done = false;
    QString m_settled;
    std::optional<GeminiError> m_failure;
};
