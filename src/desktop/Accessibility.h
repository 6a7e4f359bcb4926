#pragma once

#include <QString>

// Whether the desktop lets this process watch the keyboard everywhere and post keys into other
// windows. Which facility answers (X11's extensions, a Wayland compositor's virtual keyboard, a
// desktop portal) is the platform loader's choice.
namespace Accessibility {

struct Trust
{
    bool trusted = false;
    // Why not, for the user (empty when trusted without reservation); translated.
    QString reason;
};

// The X server offers XInputExtension 2.x and XTEST (x11/, with the native backends: reached
// through NativeBackends::x11Trust()).
Trust checkX11();

} // namespace Accessibility
