#pragma once

#include "app/controller/DictationPorts.h"
#include "audio/AudioRecorder.h"

// The controller's recorder port on the real microphone.
class MicrophoneRecorder : public RecorderPort
{
public:
    MicrophoneRecorder();
    std::optional<QString> start(const QString &deviceID) override;
    void stop(std::function<void(std::optional<Recording>)> completion) override;
    bool isRecording() const override;
    std::optional<float> levelDb() const override;
    QString name(const QString &deviceID) const override;
    QList<std::pair<QString, QString>> inputs() const override;
    void release() override;
    void setLateFailureHandler(std::function<void(const QString &)> handler) override;
    void setAudioHandler(std::function<void(const QByteArray &)> handler) override
    {
        m_recorder.setChunkHandler(std::move(handler));
    }

    AudioRecorder &recorder() { return m_recorder; }

private:
    AudioRecorder m_recorder;
    std::function<void(const QString &)> m_lateFailure;
    // Counts starts, so that the failure of an earlier one is not taken for the current one.
    quint64 m_starts = 0;
};

// Trims the recording the way the dictation does: the copy's path, or nothing to send the file.
std::optional<QString> trimRecording(const QString &file, double keepSeconds);
