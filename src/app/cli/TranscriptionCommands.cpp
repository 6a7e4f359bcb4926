#include "AudioTrimmer.h"
#include "CommandLine.h"

#include "Config.h"
#include "GeminiClient.h"
#include "GeminiTranscription.h"
#include "Log.h"
#include "PlainText.h"

#include <QFile>
#include <QNetworkAccessManager>

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

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

// The trimmed copy is this command's own file: an interrupt (Ctrl+C, a kill, a closed terminal)
// must not leave it behind. The handler may run on any thread, so it only reads what is published
// before the state says so.
namespace interrupt {

enum State : int
{
    noCopy,
    copyBeingMade, // an interrupt waits until the copy has a name
    copyMade,
};
std::atomic<int> state{noCopy};
std::atomic<int> pending{0};
char copyPath[PATH_MAX];
constexpr std::array signals{SIGINT, SIGTERM, SIGHUP};

extern "C" void removeCopyAndEnd(int signal)
{
    if (state.load() == copyBeingMade) {
        pending.store(signal);
        return;
    }
    if (state.load() == copyMade)
        ::unlink(copyPath);
    // The handler was reset on entry: this ends the process as the signal would have.
    ::raise(signal);
}

void install()
{
    struct sigaction action
    {};
    action.sa_handler = removeCopyAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : signals)
        ::sigaction(signal, &action, nullptr);
}

void made(const std::optional<QString> &copy)
{
    const QByteArray name = copy ? QFile::encodeName(*copy) : QByteArray();
    if (copy && name.size() < qsizetype(sizeof copyPath)) {
        std::memcpy(copyPath, name.constData(), size_t(name.size()) + 1);
        state.store(copyMade);
    } else {
        state.store(noCopy);
    }
    if (const int signal = pending.exchange(0))
        removeCopyAndEnd(signal);
}

void removed()
{
    state.store(noCopy);
    for (const int signal : signals)
        ::signal(signal, SIG_DFL);
}

} // namespace interrupt

int transcribe(const QStringList &args)
{
    if (args.size() != 1)
        return usageError(QStringLiteral("'transcribe' needs exactly one FILE"));
    const Config config = settings();
    const GeminiClient client = GeminiClient::from(config);
    // Long pauses are cut first, as in a dictation, into a copy under a name no other file has.
    std::optional<QString> trimmed;
    if (config.trimSilence) {
        const bool removeCopy = !config.keepAudio;
        if (removeCopy) {
            interrupt::state.store(interrupt::copyBeingMade);
            interrupt::install();
        }
        trimmed = AudioTrimmer::trimSilence(args.first(), config.keepSilenceSeconds);
        if (removeCopy)
            interrupt::made(trimmed);
    }
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
        // The dictation's own job: the chosen audio format, and the file upload past the
        // inline ceiling, so a long recording goes here too.
        auto *network = new QNetworkAccessManager(context);
        auto *job = new GeminiTranscription(client, audio.value(), network, context);
        QObject::connect(
            job, &GeminiTranscription::finished, context,
            [done = std::move(done)](const GeminiResult<QString> &result) { done(result); });
    });
    if (trimmed && !config.keepAudio) {
        QFile::remove(*trimmed);
        interrupt::removed();
    }
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
