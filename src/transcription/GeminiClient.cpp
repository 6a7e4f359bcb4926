#include "transcription/GeminiClient.h"

#include "records/Config.h"
#include "transcription/GeminiAnswers.h"
#include "transcription/GeminiEndpoints.h"
#include "transcription/GeminiExchange.h"
#include "transcription/LiveSession.h"

#include <QJsonDocument>
#include <algorithm>

namespace {

constexpr int listingTimeoutSeconds = 60;

GeminiResult<QByteArray> asIs(const QByteArray &body)
{
    return body;
}

} // namespace

GeminiClient GeminiClient::from(const Config &config)
{
    return GeminiClient{config.resolvedApiKey(),
                        config.model,
                        config.prompt,
                        config.thinkingLevel,
                        config.transcriptionMode,
                        config.languageCodes,
                        config.customVocabulary,
                        config.audioFormat,
                        LiveSession::isLive(config.model) ||
                            config.liveModels.contains(config.model)};
}

bool GeminiClient::usesInteractions(const QString &model)
{
    // A live model answers only on the Live API, never to an interactions request.
    return model.contains(QLatin1String("transcribe"), Qt::CaseSensitive) &&
           !LiveSession::isLive(model);
}

GeminiExchange *GeminiClient::viaGenerateContent(const QByteArray &audio, QObject *context,
                                                 TextCallback done) const
{
    return send(GeminiRequests::generateContentRequest(*this, audio), apiKey, context,
                std::move(done));
}

GeminiExchange *GeminiClient::viaInteractions(const QByteArray &audio, QObject *context,
                                              TextCallback done) const
{
    return send(GeminiRequests::interactionsRequest(*this, audio), apiKey, context,
                std::move(done));
}

GeminiExchange *GeminiClient::send(const GeminiResult<GeminiRequest> &request,
                                   const QString &apiKey, QObject *context, TextCallback done)
{
    GeminiExchange *exchange = nullptr;
    if (apiKey.isEmpty())
        exchange = new GeminiExchange(GeminiError::noApiKey());
    else if (!request.ok())
        exchange = new GeminiExchange(request.error());
    else
        exchange = new GeminiExchange(
            GeminiExchange::Settings{"POST", request.value().address, apiKey, request.value().body,
                                     120, GeminiExchange::transcriptionWaitsMs()});
    const GeminiRequest::Kind kind =
        request.ok() ? request.value().kind : GeminiRequest::Kind::generateContent;
    return deliver<QString>(exchange, context, std::move(done), [kind](const QByteArray &b) {
        return GeminiAnswers::transcript(kind, b);
    });
}

GeminiExchange *GeminiClient::post(const QString &to, const QString &apiKey,
                                   const QJsonObject &body, QObject *context, BytesCallback done)
{
    const GeminiResult<QUrl> url = GeminiEndpoints::checkedAddress(to);
    if (!url.ok())
        return deliver<QByteArray>(new GeminiExchange(url.error()), context, std::move(done),
                                   &asIs);
    return post(url.value(), apiKey, QJsonDocument(body).toJson(QJsonDocument::Compact), context,
                std::move(done));
}

GeminiExchange *GeminiClient::post(const QUrl &to, const QString &apiKey,
                                   const QByteArray &jsonBody, QObject *context, BytesCallback done)
{
    auto *exchange = new GeminiExchange(GeminiExchange::Settings{
        "POST", to, apiKey, jsonBody, 120, GeminiExchange::transcriptionWaitsMs()});
    return deliver<QByteArray>(exchange, context, std::move(done), &asIs);
}

GeminiExchange *GeminiClient::listModels(QObject *context, ListingCallback done) const
{
    GeminiExchange *exchange = nullptr;
    const GeminiResult<QUrl> url = GeminiEndpoints::modelsAddress();
    if (apiKey.isEmpty())
        exchange = new GeminiExchange(GeminiError::noApiKey());
    else if (!url.ok())
        exchange = new GeminiExchange(url.error());
    else
        exchange = new GeminiExchange(
            GeminiExchange::Settings{"GET", url.value(), apiKey, {}, listingTimeoutSeconds, {}});
    return deliver<GeminiAnswers::ModelListing>(exchange, context, std::move(done),
                                                &GeminiAnswers::modelListing);
}

GeminiResult<QStringList> GeminiClient::listModelsAndWait() const
{
    const auto listing = runToEnd<GeminiAnswers::ModelListing>(
        [this](QObject *context, ListingCallback done) { listModels(context, std::move(done)); });
    if (!listing.ok())
        return listing.error();
    return listing.value().names;
}

std::optional<QString> GeminiClient::pickModel(const QStringList &models, const QString &current)
{
    if (models.contains(current))
        return current;
    static const QStringList notPlainFlash = {QStringLiteral("lite"),      QStringLiteral("image"),
                                              QStringLiteral("tts"),       QStringLiteral("live"),
                                              QStringLiteral("embedding"), QStringLiteral("audio")};
    for (const QString &name : models) {
        if (name.contains(QLatin1String("flash")) &&
            std::none_of(notPlainFlash.begin(), notPlainFlash.end(),
                         [&](const QString &word) { return name.contains(word); }))
            return name;
    }
    for (const QString &name : models) {
        if (name.contains(QLatin1String("gemini")))
            return name;
    }
    return std::nullopt;
}
