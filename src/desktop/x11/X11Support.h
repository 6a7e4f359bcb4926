#pragma once

// Xlib's own headers stay out of this one: it is included beside Qt headers.
#include <memory>

typedef struct _XDisplay Display;

namespace X11 {

struct DisplayCloser
{
    void operator()(Display *display) const;
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// A connection of our own to the X server named by DISPLAY; null when there is none.
DisplayPtr openDisplay();

// Catches the X errors of the requests made while it lives, instead of Xlib's default of ending
// the process. Waits for the server's answers when it ends.
class ErrorTrap
{
public:
    explicit ErrorTrap(Display *display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;
    // Syncs, then tells whether any request failed so far.
    bool failed();

private:
    Display *m_display;
    int m_errorsBefore;
};

// Our own synthetic input, posted shortly before, which the key source must not take for the
// user's. Counted per key code: other XTEST input (xdotool, a remote desktop, an on-screen
// keyboard) on keys we did not post still counts, even in the middle of an insertion.
namespace OwnInput {
void markPosted(int keycode);
bool postedRecently(int keycode);
} // namespace OwnInput

} // namespace X11
