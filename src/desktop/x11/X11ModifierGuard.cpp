#include "desktop/x11/X11ModifierGuard.h"

#include <algorithm>
#include "desktop/x11/X11Holders.h"

namespace {

bool isDown(const char (&keys)[32], int keycode)
{
    return keys[keycode / 8] & (1 << (keycode % 8));
}

} // namespace

void X11ModifierGuard::neutralise(Display *dpy, const Post &post)
{
    XkbStateRec state{};
    XkbGetState(dpy, XkbUseCoreKbd, &state);
    m_lockedMods = state.locked_mods;
    if (m_lockedMods)
        XkbLockModifiers(dpy, XkbUseCoreKbd, m_lockedMods, 0);
    if (state.latched_mods)
        XkbLatchModifiers(dpy, XkbUseCoreKbd, state.latched_mods, 0);

    char keys[32] = {};
    XQueryKeymap(dpy, keys);
    std::vector<int> held;
    if (const X11::ModifierMap mods{XGetModifierMapping(dpy)}) {
        for (int i = 0; i < 8 * mods->max_keypermod; ++i) {
            const int keycode = mods->modifiermap[i];
            // The lock modifier's keys only lock; their state was handled above.
            if (keycode != 0 && i / mods->max_keypermod != LockMapIndex && isDown(keys, keycode) &&
                std::find(held.begin(), held.end(), keycode) == held.end())
                held.push_back(keycode);
        }
    }
    if (held.empty())
        return;
    std::vector<std::pair<int, bool>> releases;
    releases.reserve(held.size());
    for (const int keycode : held)
        releases.emplace_back(keycode, false);
    post(releases);
    XSync(dpy, False);
    // The server ignores the release of a key that our device never pressed (the user's
    // keyboard holds it): pressed and released through ours, the key is up for everyone.
    XQueryKeymap(dpy, keys);
    std::vector<std::pair<int, bool>> taps;
    for (const int keycode : held) {
        if (isDown(keys, keycode)) {
            taps.emplace_back(keycode, true);
            taps.emplace_back(keycode, false);
        }
    }
    if (!taps.empty())
        post(taps);
    XSync(dpy, False);
}

void X11ModifierGuard::restore(Display *dpy)
{
    if (m_lockedMods)
        XkbLockModifiers(dpy, XkbUseCoreKbd, m_lockedMods, m_lockedMods);
    m_lockedMods = 0;
}

X11GroupLock::X11GroupLock(Display *display, int group) : m_display(display)
{
    if (group < 0)
        return;
    XkbStateRec state{};
    XkbGetState(m_display, XkbUseCoreKbd, &state);
    if (group == state.group)
        return;
    m_lockedBefore = state.locked_group;
    XkbLockGroup(m_display, XkbUseCoreKbd, unsigned(group));
}

X11GroupLock::~X11GroupLock()
{
    if (m_lockedBefore >= 0)
        XkbLockGroup(m_display, XkbUseCoreKbd, unsigned(m_lockedBefore));
}
