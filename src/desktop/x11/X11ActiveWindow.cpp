#include "desktop/x11/X11ActiveWindow.h"

#include "desktop/x11/X11FocusedWindow.h"

#include <QElapsedTimer>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <unistd.h>

namespace {

// One 32-bit item of a window property; nothing when the window has no such property.
std::optional<unsigned long> cardinal(Display *dpy, Window window, Atom property, Atom type)
{
    const X11::ErrorTrap trap(dpy);
    const std::vector<unsigned long> items = X11::property32(dpy, window, property, type, 1);
    return items.size() == 1 ? std::optional(items.front()) : std::nullopt;
}

} // namespace

std::unique_ptr<X11ActiveWindow> X11ActiveWindow::open()
{
    X11::DisplayPtr display = X11::openDisplay();
    if (!display)
        return nullptr;
    Display *dpy = display.get();
    // Only a window manager that names the active window can take us back to it.
    const Atom supported = XInternAtom(dpy, "_NET_SUPPORTED", False);
    const Atom active = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    const std::vector<unsigned long> atoms =
        X11::property32(dpy, DefaultRootWindow(dpy), supported, XA_ATOM);
    const bool named = std::find(atoms.begin(), atoms.end(), active) != atoms.end();
    if (!named)
        return nullptr;
    return std::unique_ptr<X11ActiveWindow>(new X11ActiveWindow(std::move(display)));
}

X11ActiveWindow::X11ActiveWindow(X11::DisplayPtr display) : m_display(std::move(display))
{
    Display *dpy = m_display.get();
    m_activeAtom = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    m_pidAtom = XInternAtom(dpy, "_NET_WM_PID", False);
    XSelectInput(dpy, DefaultRootWindow(dpy), PropertyChangeMask);
    XFlush(dpy);
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(dpy), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { readEvents(); });
    noteActive();
    m_wait.setInterval(20);
}

X11ActiveWindow::~X11ActiveWindow() = default;

void X11ActiveWindow::readEvents()
{
    Display *dpy = m_display.get();
    bool changed = false;
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        changed = changed || (event.type == PropertyNotify && event.xproperty.atom == m_activeAtom);
    }
    if (changed)
        noteActive();
}

void X11ActiveWindow::noteActive()
{
    const quint64 window = current();
    if (window != 0 && !ours(window))
        m_previous = window;
}

quint64 X11ActiveWindow::current() const
{
    Display *dpy = m_display.get();
    return cardinal(dpy, DefaultRootWindow(dpy), m_activeAtom, XA_WINDOW).value_or(0);
}

bool X11ActiveWindow::ours(unsigned long window) const
{
    return cardinal(m_display.get(), window, m_pidAtom, XA_CARDINAL) == (unsigned long)getpid();
}

bool X11ActiveWindow::viewable(unsigned long window) const
{
    X11::ErrorTrap trap(m_display.get());
    XWindowAttributes attributes{};
    return XGetWindowAttributes(m_display.get(), window, &attributes) && !trap.failed() &&
           attributes.map_state == IsViewable;
}

quint64 X11ActiveWindow::previous() const
{
    // A window closed or hidden since is no place to go back to.
    return m_previous != 0 && viewable(m_previous) ? m_previous : 0;
}

bool X11ActiveWindow::hasFocus(unsigned long window) const
{
    // The focus often rests on a child of the window the manager activated.
    return X11::FocusedWindow::walkUp(m_display.get(),
                                      [window](unsigned long at) { return at == window; });
}

void X11ActiveWindow::activate(quint64 window, std::function<void(bool)> done)
{
    m_wait.stop();
    m_wait.disconnect();
    if (window == 0 || !viewable(window)) {
        done(false);
        return;
    }
    Display *dpy = m_display.get();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = Window(window);
    event.xclient.message_type = m_activeAtom;
    event.xclient.format = 32;
    // Asked as a pager asks: a window manager's focus-stealing rules are for applications.
    event.xclient.data.l[0] = 2;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, DefaultRootWindow(dpy), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(dpy);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(&m_wait, &QTimer::timeout, &m_wait, [this, window, done, waited] {
        const bool there = current() == window && hasFocus(Window(window));
        if (!there && waited->elapsed() < 1200)
            return;
        m_wait.stop();
        m_wait.disconnect();
        done(there);
    });
    m_wait.start();
}
