#pragma once

#include "audio/AudioRecorder.h"
#include "audio/SoundFile.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// The kept capture source and the file of the recording under way, for AudioRecorder. It lives
// on the recorder's "vesk.audio" thread: every member function runs there, except the atomic
// readers and markStopped(), which any thread may call.
class AudioCapture : public QObject
{
    Q_OBJECT

public:
    struct Ended
    {
        bool captured = false; // false: this recording never began capturing
        QString path;
        double duration = 0; // seconds of audio written
        QString error;       // what went wrong while capturing, if anything
    };

    static constexpr int sampleRate = 16000;

    // Chooses the device, builds a source for it unless the kept one serves, starts it and
    // creates the file. Nothing starts when the recording was stopped before this ran.
    std::optional<AudioRecorder::Failure> begin(quint64 recording, const QString &deviceID,
                                                const QString &path, qint64 requestedAtNs);
    Ended end(quint64 recording);
    // Stops the source unless a recording is capturing; the source itself is kept.
    void rest();
    // Before the thread ends: closes a file still open (it stays on disk) and drops the source.
    void shutdown();

    // Gets every captured chunk of a recording, on this thread; any thread may set it.
    void setSink(std::function<void(const QByteArray &)> sink)
    {
        const std::lock_guard lock(m_sinkMutex);
        m_sink = std::move(sink);
    }

    void markStopped(quint64 recording) { m_stopped.store(recording); }
    float level() const { return m_level.load(std::memory_order_relaxed); }
    int builds() const { return m_builds.load(); }
    qint64 latencyNs() const { return m_latencyNs.load(); }
    void resetLatency() { m_latencyNs.store(-1); }

    static qint64 nowNs();
    // 16 kHz mono 16-bit.
    static QAudioFormat captureFormat();
    // The input for an id; one that is gone (or empty) gives the audio server's default.
    static QAudioDevice chooseDevice(const QString &deviceID);
    // dB full scale of the RMS of the samples; -160 for silence or none.
    static float decibels(const qint16 *samples, qsizetype count);

private:
    void drain();
    bool sourceRunning() const;

    std::unique_ptr<QAudioSource> m_source;
    QByteArray m_sourceDeviceID;
    // Owned by the source, which deletes it when it stops.
    QPointer<QIODevice> m_io;

    SoundFile m_file;
    QString m_path;
    quint64 m_fileRecording = 0;
    long long m_frames = 0;
    QString m_error;
    QByteArray m_carry;
    qint64 m_requestedAtNs = 0;
    bool m_firstFrameSeen = false;

    std::mutex m_sinkMutex;
    std::function<void(const QByteArray &)> m_sink;

    std::atomic<quint64> m_stopped{0};
    std::atomic<float> m_level{-160.0f};
    std::atomic<int> m_builds{0};
    std::atomic<qint64> m_latencyNs{-1};
};
