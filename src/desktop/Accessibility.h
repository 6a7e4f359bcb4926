#pragma once

#include <QString>

// Whether the desktop lets this process watch the keyboard everywhere and post keys into other
// windows. On X11 that needs the XInput2 and XTEST extensions; a Wayland session without X11
// input refuses both.
namespace Accessibility {

struct Trust
{
    bool trusted = false;
    // Why not, for the user (empty when trusted without reservation); translated.
    QString reason;
};

// Asks the display server each time: cheap enough for a poll every few seconds.
Trust check();

} // namespace Accessibility
