#include "X11Support.h"

#include <QElapsedTimer>
#include <X11/Xlib.h>
#include <array>
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
QElapsedTimer clock;
// When each key code was last posted, in the clock's milliseconds; X11 key codes are 8 to 255.
std::array<qint64, 256> lastPosted = [] {
    std::array<qint64, 256> never{};
    never.fill(-1);
    return never;
}();
} // namespace

void markPosted(int keycode)
{
    if (!clock.isValid())
        clock.start();
    if (keycode >= 0 && keycode < int(lastPosted.size()))
        lastPosted[size_t(keycode)] = clock.elapsed();
}

bool postedRecently(int keycode)
{
    if (!clock.isValid() || keycode < 0 || keycode >= int(lastPosted.size()))
        return false;
    const qint64 at = lastPosted[size_t(keycode)];
    return at >= 0 && clock.elapsed() - at < windowMs;
}

} // namespace OwnInput

} // namespace X11
