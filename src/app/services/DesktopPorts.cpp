#include "app/services/DesktopPorts.h"

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

GlobalHotkey::GlobalHotkey(PlatformLoader &platform)
{
    m_monitor.setSourceFactory([this, &platform](KeyEventSource::Scope scope) {
        return platform.keyEventSource(scope, m_readInputDevices);
    });
    m_monitor.setTrustCheck([&platform] { return platform.trust().trusted; });
}

void GlobalHotkey::setCallbacks(std::function<void()> onStart, std::function<void()> onStop,
                                std::function<void()> onCancel)
{
    m_monitor.onStart = std::move(onStart);
    m_monitor.onStop = std::move(onStop);
    m_monitor.onCancel = std::move(onCancel);
}

// Made at start: a desktop that asks the user's permission to type asks then, not in the middle
// of the first dictation.
DesktopInserter::DesktopInserter(PlatformLoader &platform) : m_injector(platform) {}

void DesktopInserter::setFailureHandler(std::function<void(const QString &)> handler)
{
    QObject::disconnect(m_failure);
    m_failure =
        QObject::connect(&m_injector, &TextInjector::failed, &m_injector, std::move(handler));
}

bool DesktopInserter::canPaste() const
{
    return m_injector.canPaste();
}

void DesktopInserter::insert(const QString &text, const QString &method, const QString &newline,
                             bool spaceBefore)
{
    m_injector.insert(text, method, newline, spaceBefore);
}

DesktopFocus::DesktopFocus(PlatformLoader &platform) : m_windows(platform.activeWindow()) {}

DesktopFocus::~DesktopFocus() = default;

quint64 DesktopFocus::activeWindow() const
{
    return m_windows ? m_windows->current() : 0;
}

quint64 DesktopFocus::previousWindow() const
{
    return m_windows ? m_windows->previous() : 0;
}

void DesktopFocus::activate(quint64 window, std::function<void(bool)> done)
{
    if (m_windows)
        m_windows->activate(window, std::move(done));
    else
        done(false);
}

std::optional<QString> trimRecording(const QString &file, double keepSeconds)
{
    return AudioTrimmer::trimSilence(file, keepSeconds);
}
