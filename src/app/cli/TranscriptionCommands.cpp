#include "AudioTrimmer.h"
#include "CommandLine.h"

#include "Config.h"
#include "GeminiClient.h"
#include "GeminiTranscription.h"
#include "Log.h"
#include "PlainText.h"

#include <QFile>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
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

// The trimmed copy is this command's own file, and an uploaded recording is the user's audio on
// the service: an interrupt (Ctrl+C, a kill, a closed terminal) must leave neither behind. The
// handler may run on any thread, so it only reads what is published before the state says so.
// While the request is out it only wakes the event loop, which deletes the upload and then ends
// the process as the signal would; a second signal ends it at once.
namespace interrupt {

enum State : int
{
    noCopy,
    copyBeingMade, // an interrupt waits until the copy has a name
    copyMade,
};
std::atomic<int> state{noCopy};
std::atomic<int> pending{0};
std::atomic<int> wake{-1}; // the write end of the event loop's pipe, while the request is out
char copyPath[PATH_MAX];
constexpr std::array signals{SIGINT, SIGTERM, SIGHUP};

extern "C" void removeCopyAndEnd(int signal)
{
    if (state.load() == copyBeingMade) {
        pending.store(signal);
        return;
    }
    if (state.exchange(noCopy) == copyMade)
        ::unlink(copyPath);
    if (const int fd = wake.load(); fd >= 0) {
        const char byte = char(signal);
        if (::write(fd, &byte, 1) == 1)
            return;
    }
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

// Runs the transcription to its end, and on to the delete of what it uploaded. An interrupt
// cancels it (which deletes the upload too) and is returned, to be raised once that is done.
int transcribe(const GeminiClient &client, const QByteArray &audio,
               std::optional<GeminiResult<QString>> *text)
{
    int pipe[2] = {-1, -1};
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        pipe[0] = pipe[1] = -1;
    QEventLoop loop;
    auto *network = new QNetworkAccessManager(&loop);
    QPointer<GeminiTranscription> job = new GeminiTranscription(client, audio, network, &loop);
    QObject::connect(job, &GeminiTranscription::finished, &loop,
                     [text](const GeminiResult<QString> &result) { *text = result; });
    QObject::connect(job, &GeminiTranscription::settled, &loop, &QEventLoop::quit);
    int signal = 0;
    std::optional<QSocketNotifier> notifier;
    QTimer giveUp;
    if (pipe[0] >= 0) {
        notifier.emplace(pipe[0], QSocketNotifier::Read);
        QObject::connect(&*notifier, &QSocketNotifier::activated, &loop, [&] {
            char byte = 0;
            if (signal != 0 || ::read(pipe[0], &byte, 1) != 1)
                return;
            signal = byte;
            if (job)
                job->cancel();
            // The delete is worth a few seconds, not an endless wait after the user said stop.
            giveUp.start(5000);
        });
        QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
        wake.store(pipe[1]);
    }
    loop.exec();
    wake.store(-1);
    // A signal that came as the loop ended still ends the command.
    if (char byte = 0; signal == 0 && pipe[0] >= 0 && ::read(pipe[0], &byte, 1) == 1)
        signal = byte;
    notifier.reset();
    for (const int fd : pipe) {
        if (fd >= 0)
            ::close(fd);
    }
    return signal;
}

} // namespace interrupt

int transcribe(const QStringList &args)
{
    if (args.size() != 1)
        return usageError(QStringLiteral("'transcribe' needs exactly one FILE"));
    const Config config = settings();
    const GeminiClient client = GeminiClient::from(config);
    interrupt::install();
    // Long pauses are cut first, as in a dictation, into a copy under a name no other file has.
    std::optional<QString> trimmed;
    if (config.trimSilence) {
        const bool removeCopy = !config.keepAudio;
        if (removeCopy)
            interrupt::state.store(interrupt::copyBeingMade);
        trimmed = AudioTrimmer::trimSilence(args.first(), config.keepSilenceSeconds);
        if (removeCopy)
            interrupt::made(trimmed);
    }
    const QString sent = trimmed.value_or(args.first());
    std::optional<GeminiResult<QString>> result;
    int signal = 0;
    // The key is checked before the file is read, as in a dictation.
    if (client.apiKey.isEmpty()) {
        result = GeminiError::noApiKey();
    } else if (const auto audio = GeminiClient::readAudio(sent); !audio.ok()) {
        result = audio.error();
    } else {
        // The dictation's own job: the chosen audio format, and the file upload past the inline
        // ceiling, so a long recording goes here too.
        signal = interrupt::transcribe(client, audio.value(), &result);
    }
    if (trimmed && !config.keepAudio)
        QFile::remove(*trimmed);
    interrupt::removed();
    if (signal != 0) {
        Log::flush();
        ::raise(signal);
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
