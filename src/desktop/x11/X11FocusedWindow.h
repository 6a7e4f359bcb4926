#pragma once

#include <QStringList>
#include <functional>

typedef struct _XDisplay Display;

// The window with the input focus, found the one way for every question asked of it: the focus
// often rests on a child of the application's window, whose properties sit higher up.
namespace X11::FocusedWindow {

// The focused window and those it sits in, up to the one just below the root: `visit` is asked of
// each in turn until it answers true. False when none did, or the tree could not be read.
bool walkUp(Display *display, const std::function<bool(unsigned long)> &visit);

// The instance and class names (WM_CLASS) of the nearest window that has them; empty when none.
QStringList windowClass(Display *display);

// The nearest window that lists its WM_PROTOCOLS (the top-level one), and whether `protocol` is
// among them; window 0 when none lists any.
struct Protocols
{
    unsigned long window = 0;
    bool lists = false;
};
Protocols protocols(Display *display, unsigned long protocol);

} // namespace X11::FocusedWindow
