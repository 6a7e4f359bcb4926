#pragma once

#include "transcription/GeminiAnswers.h"
#include "transcription/GeminiError.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct Config;
class GeminiExchange;
class QObject;

// The settings one request is made with: built afresh from the configuration for each request,
// never changed, so it may be handed between threads freely. The addresses are in
// GeminiEndpoints, the bodies in GeminiRequests, the reading of answers in GeminiAnswers.
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
    // The model streams over the Live API: its name says so, or the last listing did.
    bool live = false;

    bool operator==(const GeminiClient &) const = default;

    // The key is the configuration's resolvedApiKey().
    static GeminiClient from(const Config &config);

    // --- The instruction prompt of a generate-content request.
    QString fullPrompt() const;
    // The language sentence for the codes; empty when none of them is known.
    static QString languageRules(const QStringList &codes);

    // --- Transcription. Interactions when the model name contains "transcribe" (case-sensitive)
    // and is not a live one.
    static bool usesInteractions(const QString &model);

    using Listing = GeminiResult<GeminiAnswers::ModelListing>;
    using ListingCallback = std::function<void(const Listing &)>;

    // --- Models the key can reach, without "models/", sorted; one attempt of 60 s.
    GeminiExchange *listModels(QObject *context, ListingCallback done) const;
    GeminiResult<QStringList> listModelsAndWait() const;
    // The current model when listed, else the first plain flash model, else the first gemini one.
    static std::optional<QString> pickModel(const QStringList &models, const QString &current);
};
