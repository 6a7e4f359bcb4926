#include "AudioTrimmer.h"
#include "CommandLine.h"

#include "Config.h"
#include "GeminiClient.h"
#include "GeminiExchange.h"
#include "Log.h"

#include <QFile>

namespace Cli {

namespace {

int prompt(const QStringList &args)
{
    if (!args.isEmpty())
        return usageError(QStringLiteral("'prompt' takes no arguments"));
    out(GeminiClient::from(Config::load()).fullPrompt(), false);
    return 0;
}

int models(const QStringList &args)
{
    if (!args.isEmpty())
        return usageError(QStringLiteral("'models' takes no arguments"));
    const Config config = Config::load();
    const auto names = GeminiClient::from(config).listModelsAndWait();
    if (!names.ok()) {
        err(names.error().description());
        return 1;
    }
    const auto picked = GeminiClient::pickModel(names.value(), config.model);
    for (const QString &name : names.value())
        out(picked == name ? name + QStringLiteral("\tpicked") : name);
    return 0;
}

int transcribe(const QStringList &args)
{
    if (args.size() != 1)
        return usageError(QStringLiteral("'transcribe' needs exactly one FILE"));
    const Config config = Config::load();
    const GeminiClient client = GeminiClient::from(config);
    // Long pauses are cut first, as in a dictation; the user's own file is never touched.
    std::optional<QString> trimmed;
    if (config.trimSilence)
        trimmed = AudioTrimmer::trimSilence(args.first(), config.keepSilenceSeconds);
    const QString sent = trimmed.value_or(args.first());
    const auto text = runToEnd<QString>([&](QObject *context, GeminiClient::TextCallback done) {
        // The key is checked before the file is read, as in a dictation.
        if (client.apiKey.isEmpty()) {
            done(GeminiError::noApiKey());
            return;
        }
        const auto audio = GeminiClient::readAudio(sent);
        if (!audio.ok()) {
            done(audio.error());
            return;
        }
        GeminiClient::send(client.transcriptionRequest(audio.value()), client.apiKey, context,
                           std::move(done));
    });
    if (trimmed && !config.keepAudio)
        QFile::remove(*trimmed);
    if (!text.ok()) {
        Log::write(QStringLiteral("transcription failed: ") + text.error().description());
        err(text.error().description());
        return 1;
    }
    Log::write(QStringLiteral("transcript: ") + text.value().left(120));
    out(text.value());
    return 0;
}

} // namespace

QList<Command> transcriptionCommands()
{
    return {
        {QStringLiteral("transcribe"), QStringLiteral("transcribe FILE"),
         QStringLiteral("send a recording to Gemini with the configured settings and print the "
                        "transcript"),
         false, transcribe},
        {QStringLiteral("models"), QStringLiteral("models"),
         QStringLiteral("list the models the API key can reach; the one that would be picked is "
                        "marked"),
         false, models},
        {QStringLiteral("prompt"), QStringLiteral("prompt"),
         QStringLiteral("print the instruction prompt of the current settings"), false, prompt},
    };
}

} // namespace Cli
