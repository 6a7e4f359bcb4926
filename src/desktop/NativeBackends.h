#pragma once

#include "desktop/Accessibility.h"
#include "desktop/ActiveWindow.h"
#include "desktop/ClipboardReader.h"
#include "desktop/InputDeviceAccess.h"
#include "desktop/KeyEventSource.h"
#include "desktop/KeyPoster.h"
#include "desktop/WindowPinning.h"

#include <memory>
#include <optional>

// The backends that speak the display server's or the kernel's own protocol: X11 (with the XInput2
// and XTEST extensions), Wayland (virtual keyboard, data control) and the keyboard devices
// (libevdev). Those libraries take their share of every launch, and the tray icon needs none of
// them, so the backends live in a module of their own (vesk-voice-desktop.so) that the platform
// loader loads when it first asks for one, after the icon is up. The portal backends need only
// D-Bus and stay with the loader.
class NativeBackends
{
public:
    virtual ~NativeBackends() = default;

    virtual std::unique_ptr<KeyEventSource> x11KeyEventSource() = 0;
    virtual std::unique_ptr<KeyEventSource> inputDeviceKeyEventSource() = 0;
    virtual InputDeviceAccess inputDeviceAccess() = 0;
    // Null where there is no X server, or no compositor offering a virtual keyboard.
    virtual std::unique_ptr<KeyPoster> x11KeyPoster() = 0;
    virtual std::unique_ptr<KeyPoster> waylandKeyPoster() = 0;
    virtual std::unique_ptr<ClipboardReader> x11Clipboard() = 0;
    // Null where the compositor offers no data control.
    virtual std::unique_ptr<ClipboardReader> waylandClipboard() = 0;
    virtual std::unique_ptr<ActiveWindow> x11ActiveWindow() = 0;
    virtual std::unique_ptr<WindowPinning> x11WindowPinning() = 0;
    // The X server offers XInputExtension 2.x and XTEST.
    virtual Accessibility::Trust x11Trust() = 0;

    // What the Wayland compositor of this session offers; nothing when none answers.
    struct Compositor
    {
        bool virtualKeyboard = false;
        bool dataControl = false;
    };
    virtual std::optional<Compositor> waylandCompositor() = 0;

    // Those of this process: linked in (the tests), or loaded from the module the first time they
    // are asked for. A missing or foreign module ends the process with the reason, as the
    // on-demand parts do: nothing can listen or type without it.
    static NativeBackends &get();
    // The module's file; empty, with the reason in `error`, when it is not there (checked at
    // launch, so that a broken installation is told at once).
    static QString modulePath(QString *error);

    // Called as the backends' code is loaded, with the build it was made in.
    using Make = std::unique_ptr<NativeBackends> (*)();
    static bool provide(const char *build, Make make);
};
