#pragma once

#include "desktop/ActiveWindow.h"
#include "audio/AudioRecorder.h"
#include "app/controller/DictationPorts.h"
#include "desktop/HotkeyMonitor.h"
#include "desktop/PlatformLoader.h"
#include "desktop/TextInjector.h"

#include <QPointer>

// The controller's ports on the real recorder, hotkey monitor and text injector.

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

class GlobalHotkey : public HotkeyPort
{
public:
    explicit GlobalHotkey(PlatformLoader &platform);
    void setCallbacks(std::function<void()> onStart, std::function<void()> onStop,
                      std::function<void()> onCancel) override;
    void setKind(HotkeyKind kind) override { m_monitor.setKind(kind); }
    void setHoldThreshold(double seconds) override { m_monitor.setHoldThreshold(seconds); }
    void setExternalRecording(bool recording) override
    {
        m_monitor.setExternalRecording(recording);
    }
    void setReadInputDevices(bool allowed) override { m_readInputDevices = allowed; }
    void start() override { m_monitor.start(); }
    void stop() override { m_monitor.stop(); }
    bool isInstalled() const override { return m_monitor.hasMonitors(); }

    HotkeyMonitor &monitor() { return m_monitor; }

private:
    HotkeyMonitor m_monitor;
    bool m_readInputDevices = false;
};

class DesktopInserter : public InserterPort
{
public:
    explicit DesktopInserter(PlatformLoader &platform);
    void insert(const QString &text, const QString &method, const QString &newline,
                bool spaceBefore) override;
    void setFailureHandler(std::function<void(const QString &)> handler) override;
    bool canPaste() const override;

private:
    TextInjector m_injector;
    QMetaObject::Connection m_failure;
};

// The desktop's active window, where it tells (X11); nothing elsewhere.
class DesktopFocus : public FocusPort
{
public:
    explicit DesktopFocus(PlatformLoader &platform);
    ~DesktopFocus() override;
    quint64 activeWindow() const override;
    quint64 previousWindow() const override;
    void activate(quint64 window, std::function<void(bool)> done) override;

private:
    std::unique_ptr<ActiveWindow> m_windows;
};

// Trims the recording the way the dictation does: the copy's path, or nothing to send the file.
std::optional<QString> trimRecording(const QString &file, double keepSeconds);
