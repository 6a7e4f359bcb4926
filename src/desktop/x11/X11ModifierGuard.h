#pragma once

#include <functional>
#include <utility>
#include <vector>

typedef struct _XDisplay Display;

// What would change the posted keys, off for an insertion: locks (Caps Lock, a level lock) and
// latches, put back at its end, and modifiers the user still holds, which would turn the keys into
// shortcuts (released for good).
class X11ModifierGuard
{
public:
    // Posts key presses (true) and releases as one batch of our own input.
    using Post = std::function<void(const std::vector<std::pair<int, bool>> &keys)>;

    void neutralise(Display *display, const Post &post);
    // The locks back as they were; nothing when none was taken off.
    void restore(Display *display);

private:
    unsigned m_lockedMods = 0;
};

// Locks the keyboard group while it lives, then puts back the one locked before; nothing for a
// group of -1 or the one in use.
class X11GroupLock
{
public:
    X11GroupLock(Display *display, int group);
    ~X11GroupLock();
    X11GroupLock(const X11GroupLock &) = delete;
    X11GroupLock &operator=(const X11GroupLock &) = delete;

private:
    Display *m_display;
    int m_lockedBefore = -1;
};
