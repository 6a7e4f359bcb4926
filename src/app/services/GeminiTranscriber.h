#pragma once

#include "app/controller/DictationPorts.h"
#include "transcription/LiveSession.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>

// The dictation's request to Gemini on a worker thread of its own ("vesk.transcribe"): the key
// check, reading the whole file and building the Base64 body never hold up the main thread, and
// the exchange's retries wait on that thread's timers.
//
// A live model gets a Live API session from warmUp() on, fed the audio as it is captured; at
// transcribe() it ends the activity and delivers the final transcript. When that session is
// refused, fails, stalls, is cut or passes its limits, the file goes to the batch model of the
// same name instead (logged), so the dictation is only slower.
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
    void setInterimHandler(std::function<void(const QString &)> handler) override;
    void cancel() override;

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
    std::function<void(const QString &)> m_interim;
};
