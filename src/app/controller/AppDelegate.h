#pragma once

#include "state/AppState.h"
#include "app/controller/DictationPorts.h"
#include "records/FailedRecordings.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

// The dictation controller: runs one dictation from the start request to the inserted text, and
// moves AppState through idle, recording, working and failed. The desktop shell (tray, windows,
// launch) builds on it.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        std::unique_ptr<RecorderPort> recorder;
        std::unique_ptr<HotkeyPort> hotkey;
        std::unique_ptr<InserterPort> inserter;
        std::unique_ptr<TranscriberPort> transcriber;
        // Optional: without it the desktop tells nothing about its windows.
        std::unique_ptr<FocusPort> focus;
        TrimFunction trim;
        SoundFunction play;
        // Milliseconds of a steady clock; the process's own by default.
        std::function<qint64()> nowMs;
    };

    AppDelegate(AppState *state, Services services, QObject *parent = nullptr);
    ~AppDelegate() override;

    AppState *state() const { return m_state; }
    RecorderPort &recorder() const { return *m_services.recorder; }
    HotkeyPort &hotkey() const { return *m_services.hotkey; }
    FocusPort &focus() const { return *m_services.focus; }

    // A command of the control socket, as a desktop shortcut sends it: "toggle", "start", "stop"
    // and "cancel" act as the floating button does, "retry" as the menu's item, "show" asks for
    // the main window (windowRequested). False for any other.
    bool perform(const QString &command);

    void startRecording(const QString &source);
    void finishRecording();
    void cancelRecording();
    void toggleRecording();
    void transcribe(const QString &url, double duration, const QString &source);
    void setPhase(AppState::Phase phase);
    void play(const QString &sound);
    void startLevelUpdates();
    void stopLevelUpdates();
    void insertLast();
    void copyLast();
    void insert(const QString &text);

    // A failed or cancelled transcription keeps its recording (in the data folder, so also across
    // a restart) so that nothing said is lost; a retry takes the newest.
    bool canRetry() const { return !m_failedRecordings.isEmpty(); }
    void retryLastRecording();
    // Gives up the running request; its recording is kept for a retry.
    bool canCancelTranscription() const { return m_job.has_value(); }
    void cancelTranscription();
    // The app is quitting: a request under way is given up, its recording left for a retry.
    void shutDown();
    // How many recordings wait for a retry.
    int waitingRecordings() const { return m_failedRecordings.count(); }

    // (dB + 50) / 50, within 0 and 1.
    static double levelFor(float decibels);

Q_SIGNALS:
    // The phase changed (after AppState): the shell redraws the tray and resizes the panel.
    void phaseApplied(AppState::Phase phase);
    // Retry or cancel became available or went away.
    void actionsChanged();
    // The `show` command: the shell brings its main window forward.
    void windowRequested();

private:
    struct Job
    {
        quint64 id = 0;
        Config snapshot;
        Recording recording;
        QString source;
        QString upload;
        // Where the recording waits for a retry while it is sent (empty when it could not be
        // kept), and whether it came from there to begin with.
        QString kept;
        bool retried = false;
    };

    void finished(const std::optional<Recording> &recording);
    void startFailedLate(const QString &description);
    void insertionFailed(const QString &description);
    void jobSucceeded(const QString &text);
    void jobFailed(const QString &description);
    void keepForRetry(Job &job);
    // Ends the request under way, if any, keeping its recording for a retry.
    bool giveUpRequest(const QString &logLine);
    void cleanUp(const Job &job, bool transcribed);
    void updateLevel();
    // The microphone as the log names it.
    QString logName(const QString &deviceID) const;
    // Inserts a text into the window in front, with a space before it when it continues the
    // app's own last insertion there.
    void insertText(const QString &text, const Config &config);
    bool continuesLastInsertion(quint64 window, const QString &text) const;

    QPointer<AppState> m_state;
    Services m_services;
    QTimer m_levelTimer;
    std::optional<Job> m_job;
    quint64 m_nextJobId = 1;
    FailedRecordings m_failedRecordings;
    // The app's own last insertion: the window it went to (0: unknown) and when.
    struct LastInsertion
    {
        quint64 window = 0;
        qint64 atMs = -1;
    } m_lastInsertion;
};
