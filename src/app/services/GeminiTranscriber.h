#pragma once

#include "app/controller/DictationPorts.h"
#include "audio/AudioEncoder.h"
#include "transcription/LiveSession.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <optional>

// The dictation's request to Gemini on a worker thread of its own ("vesk.transcribe"): the key
// check, reading the whole file and building the Base64 body never hold up the main thread, and
// the exchange's retries wait on that thread's timers.
//
// A live model gets a Live API session from warmUp() on, fed the audio as it is captured; at
// transcribe() it ends the activity and delivers the final transcript. When that session is
// refused, fails, stalls, is cut or passes its limits, the file goes to the batch model of the
// same name instead (logged), so the dictation is only slower.
//
// A batch model's recording in FLAC or Ogg Vorbis is trimmed and encoded on the worker as it is
// captured, so that at transcribe() only its last moments are left to encode. The file stays what
// counts: when the encoding failed, or holds other than the file's frames, the file is trimmed
// and encoded as before (logged).
class GeminiTranscriber : public QObject, public TranscriberPort
{
    Q_OBJECT
public:
    explicit GeminiTranscriber(QObject *parent = nullptr);
    explicit GeminiTranscriber(LiveSession::Limits liveLimits, QObject *parent = nullptr);
    ~GeminiTranscriber() override;

    void transcribe(const Config &snapshot, const QString &file, Done done) override;
    void warmUp(const Config &snapshot) override;
    void feed(const QByteArray &pcm) override;
    bool encodesWhileRecording(const Config &snapshot) const override;
    void setInterimHandler(std::function<void(const QString &)> handler) override;
    void cancel() override;

    // How the audio of a batch model's recording is trimmed and encoded while the user speaks.
    struct Encoding
    {
        AudioEncoder::Format format;
        bool trim;
        double keepSeconds;
        bool operator==(const Encoding &) const = default;
    };
    // Nothing where the audio is not encoded ahead: a live model, WAV, or kept files (whose
    // trimmed copy stays on disk beside the recording).
    static std::optional<Encoding> encodingFor(const Config &snapshot);

private:
    class Worker;
    QThread m_thread;
    Worker *m_worker = nullptr;
    // Counts requests, so that an answer that crosses a cancel() is recognised and dropped.
    quint64 m_generation = 0;
    LiveSession::Limits m_liveLimits;
    // A live session takes the audio: set once the session is asked for, so that no chunk
    // reaches the worker ahead of it.
    std::atomic<bool> m_streaming{false};
    // The encoding of the recording under way, from warmUp() on; the flag lets its chunks reach
    // the worker.
    std::optional<Encoding> m_encoding;
    std::atomic<bool> m_encodes{false};
    std::function<void(const QString &)> m_interim;
};
