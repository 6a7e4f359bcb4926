#pragma once

#include "transcription/GeminiClient.h"
#include "transcription/GeminiExchange.h"

#include <QObject>
#include <QPointer>

class QNetworkAccessManager;

// What one transcription may send inline at most: the service's ceiling for a whole request.
// Larger audio goes through the file upload. Tests lower it, as they cannot afford 100 MB
// recordings.
struct GeminiTranscriptionLimits
{
    qint64 inlineRequestBytes = 100LL * 1000 * 1000;
};

// One recording to text. The body is built once, so every retry resends the same bytes: WAV,
// FLAC or Ogg Vorbis as the settings ask, FLAC whenever WAV would pass the inline ceiling, and
// through the service's resumable file upload when even that would (the uploaded file is deleted
// afterwards). A live model's file goes to the batch model of the same name.
//
// Lives on its creator's thread and starts from its event loop; finished() comes exactly once,
// never from inside the constructor, then settled() once the uploaded file is deleted, and the
// object deletes itself. cancel() stops whatever is on the wire at once and reports
// GeminiError::cancelled.
class GeminiTranscription : public QObject
{
    Q_OBJECT
public:
    GeminiTranscription(GeminiClient client, QByteArray wav, QNetworkAccessManager *network,
                        QObject *parent = nullptr, GeminiTranscriptionLimits limits = {});
    // Audio already encoded as the settings ask (FLAC or Ogg Vorbis made while the user spoke):
    // sent as it is, inline or uploaded by the same rule.
    GeminiTranscription(GeminiClient client, AudioEncoder::Encoded encoded,
                        AudioEncoder::Format format, QNetworkAccessManager *network,
                        QObject *parent = nullptr, GeminiTranscriptionLimits limits = {});
    void cancel();

Q_SIGNALS:
    void finished(const GeminiResult<QString> &result);
    // After finished(): nothing this job sent waits for an answer any more (the delete of an
    // uploaded file has been answered or has failed; at once when nothing was uploaded). For a
    // caller that ends the process next, which would otherwise cut the delete off.
    void settled();

private:
    void begin();
    void sendRequest(const GeminiRequest &request);
    void startUpload(const QUrl &uploadStart);
    void sendBytes(const QByteArray &uploadUrl);
    void transcribeFile(const QByteArray &answer);
    void deleteUploaded();
    void settleAndGo();
    GeminiExchange *exchange(GeminiExchange::Settings settings);
    void finish(const GeminiResult<QString> &result);

    GeminiClient m_client;
    GeminiTranscriptionLimits m_limits;
    QByteArray m_audio; // WAV, or the FLAC or Ogg made from it
    QString m_mimeType = AudioEncoder::wavType;
    QPointer<QNetworkAccessManager> m_network;
    QPointer<GeminiExchange> m_current;
    QString m_uploadedName; // "files/...", once the service holds the audio
    QPointer<GeminiExchange> m_deleting;
    bool m_done = false;
};
