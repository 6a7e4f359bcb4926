#include "transcription/GeminiClient.h"

#include "records/Config.h"
#include "transcription/GeminiAnswers.h"
#include "transcription/GeminiEndpoints.h"
#include "transcription/GeminiExchange.h"
#include "transcription/LiveSession.h"

#include <algorithm>

namespace {

constexpr int listingTimeoutSeconds = 60;

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
