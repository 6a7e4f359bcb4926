#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class AudioCapture;

// Records the chosen microphone into a temporary WAVE file (16 kHz, mono, 16-bit) while a
// dictation is held. Every public call is made on the main thread, and every completion is called
// there; the blocking audio work runs in call order on the one worker thread "vesk.audio".
class AudioRecorder : public QObject
{
    Q_OBJECT

public:
    struct Input
    {
        QString id;   // the audio server's name for the input
        QString name; // its description, for menus
        bool operator==(const Input &) const = default;
    };

    // The finished recording handed back by stop(); the caller owns (and deletes) the file.
    struct Recording
    {
        QString file;
        double duration = 0; // seconds
    };

    class Failure
    {
    public:
        enum class Kind
        {
            couldNotStart,
            noMicrophone
        };
        static Failure couldNotStart(const QString &detail)
        {
            return {Kind::couldNotStart, detail};
        }
        static Failure noMicrophone() { return {Kind::noMicrophone, {}}; }
        Kind kind() const { return m_kind; }
        QString detail() const { return m_detail; }
        // The text shown to the user, in the interface language.
        QString errorDescription() const;

    private:
        Failure(Kind kind, const QString &detail) : m_kind(kind), m_detail(detail) {}
        Kind m_kind;
        QString m_detail;
    };

    enum class Authorization
    {
        notDetermined,
        restricted,
        denied,
        authorized
    };

    using StartCompletion = std::function<void(const std::optional<Failure> &)>;
    using StopCompletion = std::function<void(const std::optional<Recording> &)>;

    explicit AudioRecorder(QObject *parent = nullptr);
    ~AudioRecorder() override;

    // Every capture input the audio server offers, in its order; empty without a server.
    static QList<Input> inputs();
    // "System default" for the empty id, the input's name, or "Not connected".
    static QString name(const QString &id);
    // Linux has no per-application microphone permission: always authorised. The layer stays so
    // that a sandbox portal can answer here later.
    static Authorization authorizationStatus();
    static void requestPermission(const std::function<void(bool)> &completion);

    // Starts recording from the input with this id; an empty id, or one of an input that is gone,
    // records from the audio server's default input. The completion receives nothing when the
    // recording runs, or the failure. isRecording() is true from this call until stop() or a
    // failure. While recording already, calls the completion at once with nothing.
    void start(const QString &deviceID, StartCompletion completion = {});
    // Ends the recording. The completion gets the finished file and its duration, or nothing when
    // nothing usable was recorded: at once when no recording runs, otherwise later, always on the
    // main thread. A start's completion always comes before the completion of the stop after it.
    void stop(StopCompletion completion);
    // Lets the capture source rest (the microphone closes); it is kept for the next start.
    void release();
    bool isRecording() const { return m_isRecording; }
    // Every captured chunk of PCM (16 kHz mono 16-bit), on the audio thread, as the file gets
    // it. Takes effect at once; an empty handler stops it, and no call is under way afterwards.
    void setChunkHandler(std::function<void(const QByteArray &)> handler);

    // The level of the latest captured chunk in dBFS (0 is full scale), -160 for silence or when
    // nothing is being captured. Lock-free; read it from the main thread as often as needed.
    float averagePowerLevel() const;

    // Diagnostics: how many capture sources were built (a source is kept while the device stays
    // the same), and the seconds from the latest start() to its first captured frame.
    int sourceBuildCount() const;
    std::optional<double> startLatency() const;

private:
    template <typename F> void post(F &&work);

    QThread m_thread;
    std::unique_ptr<AudioCapture> m_capture; // lives on m_thread
    bool m_isRecording = false;
    quint64 m_generation = 0;
    qint64 m_startedAtNs = 0;
};
