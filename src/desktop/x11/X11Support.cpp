#include "X11Support.h"

#include <X11/Xlib.h>
#include <vector>

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

bool walkUp(Display *display, unsigned long window, const std::function<bool(unsigned long)> &visit)
{
    Window at = window;
    while (at != None && at != PointerRoot) {
        if (visit(at))
            return true;
        Window root = None, parent = None, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, at, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        if (parent == root)
            return false;
        at = parent;
    }
    return false;
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
