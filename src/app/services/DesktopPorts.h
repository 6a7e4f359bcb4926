#pragma once

#include "desktop/ActiveWindow.h"
#include "app/controller/DictationPorts.h"
#include "desktop/HotkeyMonitor.h"
#include "desktop/PlatformLoader.h"
#include "desktop/TextInjector.h"

#include <QPointer>

// The controller's ports on the real hotkey monitor, text injector and window focus.

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
