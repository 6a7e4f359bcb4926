#pragma once

#include "GeminiError.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

struct Config;
class GeminiExchange;
class QObject;

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

// The settings one request is made with: built afresh from the configuration for each request,
// never changed, so it may be handed between threads freely.
//
// The asynchronous operations return a GeminiExchange (for cancel()) and call done exactly once,
// on context's thread (queued when that is another thread); a context that is destroyed first
// cancels the exchange, and done is not called then.
struct GeminiClient
{
    QString apiKey;
    QString model;
    QString prompt;
    QString thinkingLevel;
    QString transcriptionMode;
    QStringList languageCodes;
    QStringList customVocabulary;
    QString audioFormat = QStringLiteral("wav"); // "wav", "flac" or "ogg"

    bool operator==(const GeminiClient &) const = default;

    // The key is the configuration's resolvedApiKey().
    static GeminiClient from(const Config &config);

    // --- The instruction prompt of a generate-content request.
    QString fullPrompt() const;
    // The language sentence for the codes; empty when none of them is known.
    static QString languageRules(const QStringList &codes);

    // --- Addresses. The base is "https://generativelanguage.googleapis.com", or
    // VESK_GEMINI_BASE_URL when that is set (read each time a request is built).
    static QString baseAddress();
    static GeminiResult<QUrl> generateContentAddress(const QString &model);
    static GeminiResult<QUrl> interactionsAddress();
    static GeminiResult<QUrl> modelsAddress();

    // The whole recording, for a request body; a file that cannot be read whole is a fileRead
    // error.
    static GeminiResult<QByteArray> readAudio(const QString &path);

    // --- Audio as it is sent.
    static inline const QString wavType = QStringLiteral("audio/wav");
    static inline const QString flacType = QStringLiteral("audio/flac");
    // The same samples as the WAV recording, losslessly compressed (16-bit FLAC).
    static GeminiResult<QByteArray> toFlac(const QByteArray &wav);
    static inline const QString oggType = QStringLiteral("audio/ogg");
    // The recording as Ogg Vorbis at a speech bitrate: a seventh of the WAV, not sample-exact.
    static GeminiResult<QByteArray> toOgg(const QByteArray &wav);

    // --- Transcription. Interactions when the model name contains "transcribe" (case-sensitive)
    // and is not a live one.
    // The audio goes inline; with a file URI instead, the request refers to an uploaded file.
    static bool usesInteractions(const QString &model);
    GeminiResult<GeminiRequest> transcriptionRequest(const QByteArray &audio,
                                                     const QString &mimeType = wavType) const;
    GeminiResult<GeminiRequest> generateContentRequest(const QByteArray &audio,
                                                       const QString &mimeType = wavType) const;
    GeminiResult<GeminiRequest> interactionsRequest(const QByteArray &audio,
                                                    const QString &mimeType = wavType) const;
    GeminiResult<GeminiRequest> uploadedFileRequest(const QString &fileUri,
                                                    const QString &mimeType) const;
    // The size of the inline request for audio of this many bytes, without building it.
    qint64 inlineRequestSize(qint64 audioBytes) const;
    static GeminiResult<QUrl> uploadStartAddress();
    static GeminiResult<QUrl> fileAddress(const QString &name); // name as "files/..."

    using TextCallback = std::function<void(const GeminiResult<QString> &)>;
    using BytesCallback = std::function<void(const GeminiResult<QByteArray> &)>;
    using NamesCallback = std::function<void(const GeminiResult<QStringList> &)>;

    GeminiExchange *viaGenerateContent(const QByteArray &audio, QObject *context,
                                       TextCallback done) const;
    GeminiExchange *viaInteractions(const QByteArray &audio, QObject *context,
                                    TextCallback done) const;
    // Sends a built request (four attempts, 120 s each) and reads the transcript from the answer.
    static GeminiExchange *send(const GeminiResult<GeminiRequest> &request, const QString &apiKey,
                                QObject *context, TextCallback done);
    // POST of a JSON body with the transcription retry schedule; done gets the 200 answer's body.
    static GeminiExchange *post(const QString &to, const QString &apiKey, const QJsonObject &body,
                                QObject *context, BytesCallback done);
    static GeminiExchange *post(const QUrl &to, const QString &apiKey, const QByteArray &jsonBody,
                                QObject *context, BytesCallback done);

    // --- Models the key can reach, without "models/", sorted; one attempt of 60 s.
    GeminiExchange *listModels(QObject *context, NamesCallback done) const;
    GeminiResult<QStringList> listModelsAndWait() const;
    // The current model when listed, else the first plain flash model, else the first gemini one.
    static std::optional<QString> pickModel(const QStringList &models, const QString &current);

    // --- Reading answers.
    // The service's "error.message", else the body as text, else "unknown error".
    static QString errorMessage(const QByteArray &body);
    static GeminiResult<QString> generatedText(const QByteArray &body);
    static GeminiResult<QString> interactionText(const QByteArray &body);
    static GeminiResult<QStringList> modelNames(const QByteArray &body);
};
