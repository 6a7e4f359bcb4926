#pragma once

#include "audio/AudioEncoder.h"
#include "transcription/GeminiError.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

struct GeminiClient;

// A transcription request ready to send. Building one encodes the whole recording, so callers
// with a large file build it off the main thread.
struct GeminiRequest
{
    enum class Kind
    {
        generateContent,
        interactions
    };
    Kind kind = Kind::generateContent;
    QUrl address;
    QByteArray body; // compact JSON
};

// The bodies of the transcription requests, made from the client's settings. Pure; any thread.
namespace GeminiRequests {

// The whole recording, for a request body; a file that cannot be read whole is a fileRead
// error.
GeminiResult<QByteArray> readAudio(const QString &path);

// Interactions when the client's model uses them, else generate-content. The audio goes inline;
// with a file URI instead, the request refers to an uploaded file.
GeminiResult<GeminiRequest> transcriptionRequest(const GeminiClient &client,
                                                 const QByteArray &audio,
                                                 const QString &mimeType = AudioEncoder::wavType);
GeminiResult<GeminiRequest> generateContentRequest(const GeminiClient &client,
                                                   const QByteArray &audio,
                                                   const QString &mimeType = AudioEncoder::wavType);
GeminiResult<GeminiRequest> interactionsRequest(const GeminiClient &client, const QByteArray &audio,
                                                const QString &mimeType = AudioEncoder::wavType);
GeminiResult<GeminiRequest> uploadedFileRequest(const GeminiClient &client, const QString &fileUri,
                                                const QString &mimeType);
// The size of the inline request for audio of this many bytes, without building it.
qint64 inlineRequestSize(const GeminiClient &client, qint64 audioBytes);

} // namespace GeminiRequests
