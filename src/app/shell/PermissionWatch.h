#pragma once

#include "app/controller/AppDelegate.h"
#include "desktop/PlatformLoader.h"

#include <QObject>
#include <QTimer>
#include <functional>

// Whether the desktop lets the app see the hold key and type (on X11: XInput2 and XTEST), the
// wait for it every 2 seconds while it does not, and on Wayland which way the key takes.
class PermissionWatch : public QObject
{
    Q_OBJECT
public:
    struct Trust
    {
        bool trusted = false;
        QString reason; // why not, for the user
    };
    using TrustCheck = std::function<Trust()>;

    PermissionWatch(AppDelegate *controller, PlatformLoader &platform, TrustCheck trustCheck,
                    QObject *parent = nullptr);

    // Reads the trust; starts the hotkey monitor when granted, else says why and waits.
    void checkAccessibility(bool prompt);
    // The microphone's answer (always yes here; the layer stays for a sandbox portal).
    void permissionResult(bool granted);
    // Which way the hold key takes on Wayland, for the settings form and the guide.
    void refreshHoldKeyAdvice();
    bool isWaiting() const { return m_timer.isActive(); }

private:
    void poll();
    bool wayland() const { return m_platform.isWayland(); }
    AppState *state() const { return m_controller->state(); }

    AppDelegate *m_controller;
    PlatformLoader &m_platform;
    TrustCheck m_trustCheck;
    QTimer m_timer;
};
