#pragma once

#include "desktop/DesktopSession.h"
#include "desktop/InputDeviceAccess.h"
#include "records/HoldKeyAdvice.h"
#include "desktop/wayland/PortalShortcuts.h"

#include <QString>
#include <QStringList>

// How the hold-to-talk key reaches the app. X11 sees every key itself; a Wayland desktop lets
// no application watch the keyboard, so the key comes, best first, from the desktop's shortcuts
// portal, from the keyboard devices for a user who allows it, or from the compositor's own key
// bindings running the control commands (vesk-voice start / stop / toggle).
namespace HoldKeyPath {

enum class Path
{
    x11,
    portal,
    inputDevices,
    compositorBindings
};

// The user's "read the keyboard devices" choice outranks the bindings, which the app cannot see
// being set up: it is the user saying how the key should come.
Path choose(DesktopSession::Kind kind, bool portalAvailable, bool readInputDevices);
// The configuration lines that hold Right Ctrl to talk, for the compositors that take them.
QStringList bindingLines(DesktopSession::Desktop desktop);

// What the advice depends on besides the path.
struct Facts
{
    PortalShortcuts::State portal = PortalShortcuts::State::idle;
    // The key the desktop assigned, and why the portal failed (also given on the other paths
    // when the desktop kept no shortcut).
    QString trigger;
    QString portalProblem;
    DesktopSession::Desktop desktop = DesktopSession::Desktop::other;
    InputDeviceAccess devices;
};
// What the settings form and the guide say about a path.
HoldKeyAdvice advice(Path path, const Facts &facts);

} // namespace HoldKeyPath
