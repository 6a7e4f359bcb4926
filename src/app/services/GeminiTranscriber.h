#pragma once

#include "DictationPorts.h"

#include <QObject>
#include <QPointer>
#include <QThread>

// The dictation's request to Gemini on a worker thread of its own ("vesk.transcribe"): the key
// check, reading the whole file and building the Base64 body never hold up the main thread, and
// the exchange's retries wait on that thread's timers.
class GeminiTranscriber : public QObject, public TranscriberPort
{
    Q_OBJECT
public:
    explicit GeminiTranscriber(QObject *parent = nullptr);
    ~GeminiTranscriber() override;

    void transcribe(const Config &snapshot, const QString &file, Done done) override;
    void warmUp(const Config &snapshot) override;
    void cancel() override;

private:
    class Worker;
    QThread m_thread;
    Worker *m_worker = nullptr;
    // Counts requests, so that an answer that crosses a cancel() is recognised and dropped.
    quint64 m_generation = 0;
};
