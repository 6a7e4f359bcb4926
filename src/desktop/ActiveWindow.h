#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

// Which window of the desktop is in front, and the way back to the one the user worked in before
// this program's own window came up. Only where the desktop tells (an X11 window manager that
// speaks EWMH); elsewhere nothing is known and nothing can be activated. The platform loader
// makes it.
class ActiveWindow
{
public:
    virtual ~ActiveWindow() = default;
    // The window in front now, as an id of the desktop's; 0 when it does not say.
    virtual quint64 current() const = 0;
    // The last window in front that was not this program's and is still on screen; 0 when none.
    virtual quint64 previous() const = 0;
    // Brings `window` to the front; `done` runs once, with true when it has the keyboard focus,
    // false when it did not get it within about a second (or cannot be brought forward here).
    virtual void activate(quint64 window, std::function<void(bool)> done) = 0;
};
