#include "X11Support.h"

#include <QElapsedTimer>
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

namespace OwnInput {

namespace {
// Long enough for the server to hand the posted keys to every watcher, short against a person.
constexpr qint64 windowMs = 300;
QElapsedTimer lastPosted;
} // namespace

void markPosted()
{
    lastPosted.start();
}

bool postedRecently()
{
    return lastPosted.isValid() && lastPosted.elapsed() < windowMs;
}

} // namespace OwnInput

} // namespace X11
