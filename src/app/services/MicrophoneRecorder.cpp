#include "app/services/MicrophoneRecorder.h"

#include "audio/AudioTrimmer.h"

#include <cmath>

MicrophoneRecorder::MicrophoneRecorder() = default;

std::optional<QString> MicrophoneRecorder::start(const QString &deviceID)
{
    // Without any input the answer is known at once; everything else is learnt when the device
    // opens on the audio thread.
    if (AudioRecorder::inputs().isEmpty())
        return AudioRecorder::Failure::noMicrophone().errorDescription();
    const quint64 attempt = ++m_starts;
    m_recorder.start(deviceID, [this, attempt](const std::optional<AudioRecorder::Failure> &f) {
        if (f && attempt == m_starts && m_lateFailure)
            m_lateFailure(f->errorDescription());
    });
    return std::nullopt;
}

void MicrophoneRecorder::stop(std::function<void(std::optional<Recording>)> completion)
{
    m_recorder.stop([completion = std::move(completion)](
                        const std::optional<AudioRecorder::Recording> &recording) {
        if (recording)
            completion(Recording{recording->file, recording->duration});
        else
            completion(std::nullopt);
    });
}

bool MicrophoneRecorder::isRecording() const
{
    return m_recorder.isRecording();
}

std::optional<float> MicrophoneRecorder::levelDb() const
{
    const float level = m_recorder.averagePowerLevel();
    if (!std::isfinite(level))
        return std::nullopt;
    return level;
}

QString MicrophoneRecorder::name(const QString &deviceID) const
{
    return AudioRecorder::name(deviceID);
}

QList<std::pair<QString, QString>> MicrophoneRecorder::inputs() const
{
    QList<std::pair<QString, QString>> list;
    for (const AudioRecorder::Input &input : AudioRecorder::inputs())
        list.append({input.id, input.name});
    return list;
}

void MicrophoneRecorder::release()
{
    m_recorder.release();
}

void MicrophoneRecorder::setLateFailureHandler(std::function<void(const QString &)> handler)
{
    m_lateFailure = std::move(handler);
}

std::optional<QString> trimRecording(const QString &file, double keepSeconds)
{
    return AudioTrimmer::trimSilence(file, keepSeconds);
}
