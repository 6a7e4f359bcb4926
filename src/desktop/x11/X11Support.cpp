#include "desktop/x11/X11Support.h"

#include "desktop/x11/X11Holders.h"
#include <X11/Xlib.h>
#include <vector>
#include <xcb/xcb.h>

namespace X11 {

namespace {

int errorCount = 0;
// Traps nest; each puts back the handler it found.
std::vector<XErrorHandler> previousHandlers;

int countError(Display *, XErrorEvent *)
{
    ++errorCount;
    return 0;
}

} // namespace

void DisplayCloser::operator()(Display *display) const
{
    if (display)
        XCloseDisplay(display);
}

DisplayPtr openDisplay()
{
    return DisplayPtr(XOpenDisplay(nullptr));
}

void flush(xcb_connection_t *connection)
{
    xcb_flush(connection);
}

ErrorTrap::ErrorTrap(Display *display) : m_display(display), m_errorsBefore(errorCount)
{
    XSync(m_display, False);
    previousHandlers.push_back(XSetErrorHandler(countError));
}

ErrorTrap::~ErrorTrap()
{
    XSync(m_display, False);
    XSetErrorHandler(previousHandlers.back());
    previousHandlers.pop_back();
}

bool ErrorTrap::failed()
{
    XSync(m_display, False);
    return errorCount != m_errorsBefore;
}

std::vector<unsigned long> property32(Display *display, unsigned long window,
                                      unsigned long property, unsigned long type, long maxItems)
{
    Atom actual = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(display, window, property, 0, maxItems, False, type, &actual, &format,
                           &count, &after, &data) != Success)
        return items;
    const Held<unsigned char> held(data);
    // Xlib hands 32-bit items over as longs.
    if (data && actual == type && format == 32) {
        const auto *longs = reinterpret_cast<const unsigned long *>(data);
        items.assign(longs, longs + count);
    }
    return items;
}

namespace OwnInput {

namespace {
std::vector<unsigned long> &watchers()
{
    static std::vector<unsigned long> list;
    return list;
}
} // namespace

void addWatcher(unsigned long window)
{
    watchers().push_back(window);
}

void removeWatcher(unsigned long window)
{
    std::erase(watchers(), window);
}

Batch::Batch(Display *display) : m_display(display)
{
    XGrabServer(m_display);
    mark(1);
}

Batch::~Batch()
{
    mark(0);
    XUngrabServer(m_display);
    XFlush(m_display);
}

void Batch::mark(long begins)
{
    const Atom type = XInternAtom(m_display, markName, False);
    for (const unsigned long window : watchers()) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = type;
        event.xclient.format = 32;
        event.xclient.data.l[0] = begins;
        // An empty event mask sends it to the client that made the window: the key source.
        XSendEvent(m_display, window, False, NoEventMask, &event);
    }
}

} // namespace OwnInput

} // namespace X11
