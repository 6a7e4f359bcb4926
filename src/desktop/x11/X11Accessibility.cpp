#include "Accessibility.h"

#include "DesktopSession.h"
#include "PortalKeyPoster.h"
#include "WaylandSupport.h"
#include "X11Support.h"

#include <QCoreApplication>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

namespace Accessibility {

Trust check()
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("Accessibility", text);
    };
    if (DesktopSession::current().kind == DesktopSession::Kind::wayland) {
        // Text goes in through the compositor's virtual keyboard.
        const std::unique_ptr<Wayland::Connection> connection = Wayland::connect();
        if (connection && connection->virtualKeyboardName)
            return {true, QString()};
        // Or through the desktop's portal, which asks the user itself.
        if (connection && PortalKeyPoster::isOffered(QDBusConnection::sessionBus()))
            return {true, QString()};
        if (connection)
            return {false, tr("This Wayland desktop offers no virtual keyboard, so text cannot "
                              "be inserted into its windows.")};
    }
    X11::DisplayPtr display = X11::openDisplay();
    if (!display) {
        if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            return {false, tr("This Wayland session offers no X11 input: the hold-to-talk key and "
                              "text insertion need an X11 session (or XWayland).")};
        return {false, tr("No X server: the hold-to-talk key and text insertion need an X11 "
                          "session.")};
    }
    Display *dpy = display.get();
    int opcode = 0;
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 2;
    const bool xinput = XQueryExtension(dpy, "XInputExtension", &opcode, &event, &error) &&
                        XIQueryVersion(dpy, &major, &minor) == Success && major >= 2;
    int testMajor = 0;
    int testMinor = 0;
    const bool xtest = XTestQueryExtension(dpy, &event, &error, &testMajor, &testMinor);
    if (xinput && xtest)
        return {true, QString()};
    // XWayland has both but sees only its own windows' input; without them nothing works.
    if (!xinput)
        return {false, tr("The X server lacks the XInput2 extension, so the hold-to-talk key "
                          "cannot be watched.")};
    return {false, tr("The X server lacks the XTEST extension, so text cannot be inserted.")};
}

} // namespace Accessibility
