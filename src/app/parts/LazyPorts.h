#pragma once

#include "app/parts/OnDemand.h"

#include <atomic>

// The recorder and the transcriber of the controller, made from the on-demand parts the first
// time they are needed (a dictation, the microphone list), not at launch. Until then they
// answer what an unused recorder or transcriber would.
class LazyRecorder : public RecorderPort
{
public:
    explicit LazyRecorder(OnDemand &parts) : m_parts(parts) {}
    // Makes the recorder now (the hold key went down), so that the start does not wait for it.
    void prepare() { real(); }
    std::optional<QString> start(const QString &deviceID) override;
    void stop(std::function<void(std::optional<Recording>)> completion) override;
    bool isRecording() const override;
    std::optional<float> levelDb() const override;
    QString name(const QString &deviceID) const override;
    QList<std::pair<QString, QString>> inputs() const override;
    bool ready() const override { return m_real != nullptr; }
    void release() override;
    void setLateFailureHandler(std::function<void(const QString &)> handler) override;
    void setAudioHandler(std::function<void(const QByteArray &)> handler) override;

private:
    RecorderPort &real() const;

    OnDemand &m_parts;
    mutable std::unique_ptr<RecorderPort> m_real;
    std::function<void(const QString &)> m_lateFailure;
    std::function<void(const QByteArray &)> m_audio;
};

class LazyTranscriber : public TranscriberPort
{
public:
    explicit LazyTranscriber(OnDemand &parts) : m_parts(parts) {}
    void prepare() { real(); }
    void transcribe(const Config &snapshot, const QString &file, Done done) override;
    void warmUp(const Config &snapshot) override;
    void feed(const QByteArray &pcm) override;
    bool encodesWhileRecording(const Config &snapshot) const override;
    void setInterimHandler(std::function<void(const QString &)> handler) override;
    void cancel() override;

private:
    TranscriberPort &real();

    OnDemand &m_parts;
    std::unique_ptr<TranscriberPort> m_real;
    // feed() comes from the capture thread, which sees the transcriber once it is made.
    std::atomic<TranscriberPort *> m_ready{nullptr};
    std::function<void(const QString &)> m_interim;
};
