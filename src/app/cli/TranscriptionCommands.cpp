#include "audio/AudioTrimmer.h"
#include "app/cli/CommandLine.h"

#include "records/Config.h"
#include "transcription/GeminiClient.h"
#include "transcription/GeminiRequests.h"
#include "transcription/GeminiTranscription.h"
#include "records/Log.h"
#include "records/PlainText.h"
#include "records/TerminationGuard.h"

#include <QFile>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimer>

#include <optional>

namespace Cli {

Config settings()
{
    static bool told = false;
    QString problem;
    const Config config = Config::load(&problem);
    if (!problem.isEmpty() && !told) {
        told = true;
        Log::write(problem);
        err(QStringLiteral("vesk-voice: ") + problem);
    }
    return config;
}

namespace {

int prompt(const QStringList &args)
{
    if (!args.isEmpty())
        return usageError(QStringLiteral("'prompt' takes no arguments"));
    out(GeminiClient::from(settings()).fullPrompt(), false);
    return 0;
}

int models(const QStringList &args)
{
    if (!args.isEmpty())
        return usageError(QStringLiteral("'models' takes no arguments"));
    const Config config = settings();
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

// Runs the transcription to its end, and on to the delete of what it uploaded. An interrupt
// cancels it (which deletes the upload too) and is returned, to be passed on once that is done.
int transcribeUntilInterrupted(const GeminiClient &client, const QByteArray &audio,
                               TerminationGuard &guard, std::optional<GeminiResult<QString>> *text)
{
    // One that came before the request went out.
    if (const int early = guard.take())
        return early;
    QEventLoop loop;
    auto *network = new QNetworkAccessManager(&loop);
    QPointer<GeminiTranscription> job = new GeminiTranscription(client, audio, network, &loop);
    QObject::connect(job, &GeminiTranscription::finished, &loop,
                     [text](const GeminiResult<QString> &result) { *text = result; });
    QObject::connect(job, &GeminiTranscription::settled, &loop, &QEventLoop::quit);
    int signal = 0;
    QTimer giveUp;
    QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.setHandler([&](int caught) {
        if (signal != 0)
            return;
        signal = caught;
        if (job)
            job->cancel();
        // The delete is worth a few seconds, not an endless wait after the user said stop.
        giveUp.start(5000);
    });
    loop.exec();
    guard.setHandler(nullptr);
    // A signal that came as the loop ended still ends the command.
    return signal != 0 ? signal : guard.take();
}

int transcribe(const QStringList &args)
{
    if (args.size() != 1)
        return usageError(QStringLiteral("'transcribe' needs exactly one FILE"));
    const Config config = settings();
    const GeminiClient client = GeminiClient::from(config);
    // The trimmed copy is this command's own file, and an uploaded recording is the user's audio
    // on the service: an interrupt (Ctrl+C, a kill, a closed terminal) must leave neither behind.
    // It is handled once the copy is made or the request is out; a second one ends the command
    // at once.
    TerminationGuard guard(nullptr, {SIGINT, SIGTERM, SIGHUP}, true);
    // Long pauses are cut first, as in a dictation, into a copy under a name no other file has.
    std::optional<QString> trimmed;
    if (config.trimSilence)
        trimmed = AudioTrimmer::trimSilence(args.first(), config.keepSilenceSeconds);
    const QString sent = trimmed.value_or(args.first());
    std::optional<GeminiResult<QString>> result;
    int signal = 0;
    // The key is checked before the file is read, as in a dictation.
    if (client.apiKey.isEmpty()) {
        result = GeminiError::noApiKey();
    } else if (const auto audio = GeminiRequests::readAudio(sent); !audio.ok()) {
        result = audio.error();
    } else {
        // The dictation's own job: the chosen audio format, and the file upload past the inline
        // ceiling, so a long recording goes here too.
        signal = transcribeUntilInterrupted(client, audio.value(), guard, &result);
    }
    if (trimmed && !config.keepAudio)
        QFile::remove(*trimmed);
    if (signal == 0)
        signal = guard.take();
    if (signal != 0) {
        Log::flush();
        guard.passOn(signal);
    }
    const GeminiResult<QString> text = result.value_or(GeminiError::cancelled());
    if (!text.ok()) {
        Log::write(QStringLiteral("transcription failed: ") + text.error().description());
        err(text.error().description());
        return 1;
    }
    Log::write(QStringLiteral("transcript: ") + PlainText::firstCharacters(text.value(), 120));
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
