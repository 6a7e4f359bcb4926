#include "desktop/Accessibility.h"

#include "desktop/x11/X11Support.h"

#include <QCoreApplication>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

namespace Accessibility {

Trust checkX11()
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("Accessibility", text);
    };
    X11::DisplayPtr display = X11::openDisplay();
    if (!display)
        return {false, tr("No X server: the hold-to-talk key and text insertion need an X11 "
                          "session.")};
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
    if (!xinput)
        return {false, tr("The X server lacks the XInput2 extension, so the hold-to-talk key "
                          "cannot be watched.")};
    return {false, tr("The X server lacks the XTEST extension, so text cannot be inserted.")};
}

} // namespace Accessibility
