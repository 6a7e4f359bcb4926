#include "app/controller/AppDelegate.h"

#include "records/Log.h"
#include "records/PlainText.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>

AppDelegate::AppDelegate(AppState *state, Services services, QObject *parent)
    : QObject(parent), m_state(state), m_services(std::move(services))
{
    if (!m_services.focus)
        m_services.focus = std::make_unique<FocusPort>();
    if (!m_services.nowMs) {
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        m_services.nowMs = [clock] { return clock->elapsed(); };
    }
    m_levelTimer.setInterval(50);
    connect(&m_levelTimer, &QTimer::timeout, this, &AppDelegate::updateLevel);
    QPointer<AppDelegate> self(this);
    m_services.recorder->setLateFailureHandler([self](const QString &description) {
        if (self)
            self->startFailedLate(description);
    });
    m_services.inserter->setFailureHandler([self](const QString &description) {
        if (self)
            self->insertionFailed(description);
    });
    m_state->setPasteAvailable(m_services.inserter->canPaste());
    // The captured audio reaches a live session while the user speaks.
    TranscriberPort *transcriber = m_services.transcriber.get();
    m_services.recorder->setAudioHandler(
        [transcriber](const QByteArray &pcm) { transcriber->feed(pcm); });
    m_services.transcriber->setInterimHandler([self](const QString &text) {
        if (self && self->m_state->phase() != AppState::Phase::idle &&
            self->m_state->phase() != AppState::Phase::failed)
            self->m_state->setInterimText(text);
    });
}

void AppDelegate::startFailedLate(const QString &description)
{
    // The same outcome as a start that fails at once; a dictation that already ended keeps its
    // own outcome.
    if (m_state->phase() != AppState::Phase::recording)
        return;
    stopLevelUpdates();
    m_services.hotkey->setExternalRecording(false);
    m_services.transcriber->cancel();
    m_state->setMessage(description);
    setPhase(AppState::Phase::failed);
}

void AppDelegate::insertionFailed(const QString &description)
{
    // The transcript is in History already; a dictation started since keeps its own state.
    // Whatever was typed, the next dictation does not continue it.
    m_lastInsertion = {};
    if (m_state->phase() != AppState::Phase::idle)
        return;
    m_state->setMessage(description);
    setPhase(AppState::Phase::failed);
    play(QStringLiteral("Basso"));
}

AppDelegate::~AppDelegate()
{
    // The recorder outlives the transcriber it feeds.
    m_services.recorder->setAudioHandler({});
    if (m_job || m_state->phase() == AppState::Phase::recording)
        m_services.transcriber->cancel();
}

void AppDelegate::startRecording(const QString &source)
{
    if (m_state->phase() == AppState::Phase::working)
        return;
    const QString deviceID = m_state->config().inputDeviceID;
    // Ready before the first captured chunk, which a live session takes; a second start while
    // recording keeps the session of the recording under way.
    const bool fresh = m_state->phase() != AppState::Phase::recording;
    if (fresh)
        m_services.transcriber->warmUp(m_state->config());
    if (const auto failure = m_services.recorder->start(deviceID)) {
        if (fresh)
            m_services.transcriber->cancel();
        m_state->setMessage(*failure);
        setPhase(AppState::Phase::failed);
        return;
    }
    Log::write(QStringLiteral("recording started (%1) on %2").arg(source, logName(deviceID)));
    m_state->setSource(source);
    setPhase(AppState::Phase::recording);
    m_services.hotkey->setExternalRecording(true);
    play(QStringLiteral("Tink"));
    startLevelUpdates();
}

QString AppDelegate::logName(const QString &deviceID) const
{
    // In English whatever the interface speaks: the log is read by whoever helps.
    if (deviceID.isEmpty())
        return QStringLiteral("the system default");
    const auto inputs = m_services.recorder->inputs();
    const auto input = std::find_if(inputs.begin(), inputs.end(),
                                    [&](const auto &entry) { return entry.first == deviceID; });
    if (input != inputs.end())
        return input->second;
    return deviceID + QStringLiteral(" (not connected: the system default)");
}

bool AppDelegate::perform(const QString &command)
{
    Log::write(QStringLiteral("control: ") + command);
    if (command == QLatin1String("show"))
        Q_EMIT windowRequested();
    else if (command == QLatin1String("toggle"))
        toggleRecording();
    else if (command == QLatin1String("start")) {
        // The button's toggle where it would start (from idle, or clearing a failure); nothing
        // while a dictation is recorded or transcribed.
        if (m_state->phase() == AppState::Phase::idle ||
            m_state->phase() == AppState::Phase::failed)
            toggleRecording();
    } else if (command == QLatin1String("stop"))
        finishRecording();
    else if (command == QLatin1String("cancel"))
        cancelRecording();
    else if (command == QLatin1String("retry"))
        retryLastRecording();
    else
        return false;
    return true;
}

void AppDelegate::toggleRecording()
{
    switch (m_state->phase()) {
    case AppState::Phase::idle:
        startRecording(QStringLiteral("mac"));
        break;
    case AppState::Phase::recording:
        finishRecording();
        break;
    case AppState::Phase::working:
        break;
    case AppState::Phase::failed:
        m_state->setMessage(QString());
        startRecording(QStringLiteral("mac"));
        break;
    }
}

void AppDelegate::finishRecording()
{
    if (m_state->phase() != AppState::Phase::recording)
        return;
    stopLevelUpdates();
    m_services.hotkey->setExternalRecording(false);
    setPhase(AppState::Phase::working);
    QPointer<AppDelegate> self(this);
    m_services.recorder->stop([self](const std::optional<Recording> &recording) {
        if (self)
            self->finished(recording);
    });
}

void AppDelegate::finished(const std::optional<Recording> &recording)
{
    if (!recording) {
        Log::write(QStringLiteral("nothing recorded"));
        m_services.transcriber->cancel();
        setPhase(AppState::Phase::idle);
        return;
    }
    Log::write(QStringLiteral("recorded %1s -> %2")
                   .arg(QString::asprintf("%.2f", recording->duration),
                        QFileInfo(recording->url).fileName()));
    if (recording->duration * 1000.0 >= double(m_state->config().minRecordingMs)) {
        play(QStringLiteral("Pop"));
        transcribe(recording->url, recording->duration, m_state->source());
    } else {
        QFile::remove(recording->url);
        m_services.transcriber->cancel();
        setPhase(AppState::Phase::idle);
    }
}

void AppDelegate::cancelRecording()
{
    if (m_state->phase() != AppState::Phase::recording)
        return;
    stopLevelUpdates();
    m_services.hotkey->setExternalRecording(false);
    // A live session hears no more, and sends nothing more.
    m_services.transcriber->cancel();
    // Whatever keepAudio says: a cancelled recording was not meant to be kept.
    m_services.recorder->stop([](const std::optional<Recording> &recording) {
        if (recording)
            QFile::remove(recording->url);
    });
    Log::write(QStringLiteral("recording cancelled"));
    play(QStringLiteral("Funk"));
    setPhase(AppState::Phase::idle);
}

void AppDelegate::transcribe(const QString &url, double duration, const QString &source)
{
    setPhase(AppState::Phase::working);
    Job job{m_nextJobId++, m_state->config(), Recording{url, duration}, source, url, {}, false};
    // Trimming runs here, on the main thread, before the request leaves it, unless it was done
    // while the user spoke.
    if (job.snapshot.trimSilence && m_services.trim &&
        !m_services.transcriber->encodesWhileRecording(job.snapshot)) {
        if (const auto trimmed = m_services.trim(url, job.snapshot.keepSilenceSeconds))
            job.upload = *trimmed;
    }
    keepForRetry(job);
    m_job = job;
    Q_EMIT actionsChanged();
    const quint64 id = job.id;
    QPointer<AppDelegate> self(this);
    m_services.transcriber->transcribe(
        job.snapshot, job.upload,
        [self, id](const std::optional<QString> &text, const QString &error) {
            if (!self || !self->m_job || self->m_job->id != id)
                return;
            if (text)
                self->jobSucceeded(*text);
            else
                self->jobFailed(error);
        });
}

void AppDelegate::keepForRetry(Job &job)
{
    // From the moment it is sent until its transcript is in the history, the recording waits
    // where a retry finds it, so that a quit, a crash or a power cut meanwhile loses nothing.
    if (m_failedRecordings.contains(job.recording.url)) {
        job.kept = job.recording.url;
        job.retried = true;
        return;
    }
    // A file kept on purpose stays where it is; the retry gets a copy of its own.
    const bool copy = job.snapshot.keepAudio;
    const auto kept =
        m_failedRecordings.keep(job.recording.url, job.recording.duration, job.source, copy);
    if (!kept) {
        Log::write(QStringLiteral("could not keep the recording for a retry: ") +
                   job.recording.url);
        return;
    }
    job.kept = *kept;
    if (!copy) {
        if (job.upload == job.recording.url)
            job.upload = *kept;
        job.recording.url = *kept;
    }
}

void AppDelegate::jobSucceeded(const QString &text)
{
    Log::write(QStringLiteral("transcript: ") + PlainText::firstCharacters(text, 120));
    const Job job = *m_job;
    m_job.reset();
    History history = m_state->history();
    history.add(HistoryEntry::make(text, job.recording.duration, job.snapshot.model, job.source));
    m_state->setHistory(history);
    m_state->saveHistory();
    m_state->setMessage(QString());
    setPhase(AppState::Phase::idle);
    insertText(text, job.snapshot);
    cleanUp(job, true);
    Q_EMIT actionsChanged();
}

void AppDelegate::jobFailed(const QString &description)
{
    Log::write(QStringLiteral("transcription failed: ") + description);
    const Job job = *m_job;
    m_job.reset();
    m_state->setMessage(description);
    setPhase(AppState::Phase::failed);
    play(QStringLiteral("Basso"));
    cleanUp(job, false);
    Q_EMIT actionsChanged();
}

bool AppDelegate::giveUpRequest(const QString &logLine)
{
    if (!m_job)
        return false;
    const Job job = *m_job;
    m_job.reset();
    m_services.transcriber->cancel();
    Log::write(logLine);
    cleanUp(job, false);
    return true;
}

void AppDelegate::cancelTranscription()
{
    if (!giveUpRequest(QStringLiteral("transcription cancelled")))
        return;
    setPhase(AppState::Phase::idle);
    Q_EMIT actionsChanged();
}

void AppDelegate::retryLastRecording()
{
    if (m_failedRecordings.isEmpty() || m_state->phase() == AppState::Phase::working ||
        m_state->phase() == AppState::Phase::recording)
        return;
    const std::optional<FailedRecordings::Entry> last = m_failedRecordings.newest();
    if (!last)
        return;
    m_state->setMessage(QString());
    Log::write(QStringLiteral("retrying ") + last->path);
    transcribe(last->path, last->duration, last->source);
}

void AppDelegate::shutDown()
{
    giveUpRequest(QStringLiteral("quit during the transcription"));
}

void AppDelegate::cleanUp(const Job &job, bool transcribed)
{
    // keepAudio speaks of fresh recordings, not of one that waited for a retry.
    const bool keepFiles = job.snapshot.keepAudio && !job.retried;
    // The trimmed copy is made again from the recording, so only the recording is kept for a retry.
    if (!keepFiles && job.upload != job.recording.url)
        QFile::remove(job.upload);
    if (transcribed) {
        if (!job.kept.isEmpty())
            m_failedRecordings.remove(job.kept);
        if (!keepFiles && job.kept != job.recording.url)
            QFile::remove(job.recording.url);
        return;
    }
    QString kept = job.kept;
    if (kept.isEmpty() && QFileInfo::exists(job.recording.url))
        kept =
            m_failedRecordings
                .keep(job.recording.url, job.recording.duration, job.source, job.snapshot.keepAudio)
                .value_or(QString());
    if (kept.isEmpty())
        Log::write(QStringLiteral("could not keep the recording for a retry: ") +
                   job.recording.url);
    else
        Log::write(QStringLiteral("recording kept for a retry: ") + kept);
}

void AppDelegate::setPhase(AppState::Phase phase)
{
    // The words in flux belong to the dictation being recorded or transcribed.
    if (phase == AppState::Phase::idle || phase == AppState::Phase::failed ||
        (phase == AppState::Phase::recording && m_state->phase() != phase))
        m_state->setInterimText(QString());
    m_state->setPhase(phase);
    Q_EMIT phaseApplied(phase);
}

void AppDelegate::play(const QString &sound)
{
    if (m_state->config().sounds && m_services.play)
        m_services.play(sound);
}

void AppDelegate::startLevelUpdates()
{
    stopLevelUpdates();
    m_levelTimer.start();
}

void AppDelegate::stopLevelUpdates()
{
    m_levelTimer.stop();
    m_state->setLevel(0);
}

double AppDelegate::levelFor(float decibels)
{
    return std::max(0.0, std::min(1.0, (double(decibels) + 50.0) / 50.0));
}

void AppDelegate::updateLevel()
{
    if (!m_services.recorder->isRecording())
        return;
    if (const auto db = m_services.recorder->levelDb())
        m_state->setLevel(levelFor(*db));
}

void AppDelegate::insert(const QString &text)
{
    insertText(text, m_state->config());
}

void AppDelegate::insertText(const QString &text, const Config &config)
{
    const quint64 window = m_services.focus->activeWindow();
    const bool spaced = config.spaceBetweenDictations && continuesLastInsertion(window, text);
    m_services.inserter->insert(text, config.insertMethod, config.newlineMode, spaced);
    m_lastInsertion = {window, m_services.nowMs()};
}

bool AppDelegate::continuesLastInsertion(quint64 window, const QString &text) const
{
    // Only where the desktop names the window: a text in another app starts as it is.
    if (window == 0 || window != m_lastInsertion.window || m_lastInsertion.atMs < 0 ||
        m_services.nowMs() - m_lastInsertion.atMs > 60 * 1000)
        return false;
    // The inserted texts are trimmed, so the join has no white space of its own; punctuation
    // that closes the sentence before stays on it.
    const QString trimmed = text.trimmed();
    return !trimmed.isEmpty() && !QStringLiteral(".,;:!?)]}»”…").contains(trimmed.front());
}

void AppDelegate::insertLast()
{
    if (!m_state->lastTranscript().isEmpty())
        insert(m_state->lastTranscript());
}

void AppDelegate::copyLast()
{
    // Nothing to copy: the user's clipboard keeps what it holds.
    if (m_state->lastTranscript().isEmpty())
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear(QClipboard::Clipboard);
    clipboard->setText(m_state->lastTranscript(), QClipboard::Clipboard);
}
