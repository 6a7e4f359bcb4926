#include "desktop/x11/X11WindowPinning.h"

#include "desktop/x11/X11Support.h"

#include <QGuiApplication>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <vector>

void X11WindowPinning::pinToAllWorkspaces(QWindow *window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!window || !x11 || !x11->display())
        return;
    // Qt's own connection, so that these requests reach the server before Qt maps the window.
    Display *display = x11->display();
    const auto id = static_cast<::Window>(window->winId());
    const auto atom = [display](const char *name) { return XInternAtom(display, name, False); };

    // Set on the unmapped window, as the window manager reads them when it maps it; Qt merges
    // its own states into what is already there.
    const long allDesktops = 0xFFFFFFFF;
    XChangeProperty(display, id, atom("_NET_WM_DESKTOP"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&allDesktops), 1);

    const Atom wanted[] = {atom("_NET_WM_STATE_STICKY"), atom("_NET_WM_STATE_SKIP_TASKBAR"),
                           atom("_NET_WM_STATE_SKIP_PAGER")};
    std::vector<unsigned long> states =
        X11::property32(display, id, atom("_NET_WM_STATE"), XA_ATOM, 64);
    for (Atom a : wanted) {
        if (std::find(states.begin(), states.end(), a) == states.end())
            states.push_back(a);
    }
    XChangeProperty(display, id, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(states.data()), int(states.size()));
    XFlush(display);
}

std::optional<QPoint> X11WindowPinning::serverPosition(QWindow *window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!window || !x11 || !x11->display() || !window->handle())
        return std::nullopt;
    Display *display = x11->display();
    int x = 0, y = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(display, static_cast<::Window>(window->winId()),
                               DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return std::nullopt;
    return QPoint(x, y);
}
