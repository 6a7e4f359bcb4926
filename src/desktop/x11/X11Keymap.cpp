#include "desktop/x11/X11Keymap.h"

#include "desktop/x11/X11Holders.h"
#include <X11/keysym.h>
#include <algorithm>
#include <string_view>

void X11Keymap::read(Display *dpy, const std::function<bool(int)> &ours)
{
    m_places.clear();
    m_pasteKeycode = 0;
    m_pasteGroup = -1;
    m_vPosition = 0;
    m_empty.clear();
    XkbStateRec state{};
    XkbGetState(dpy, XkbUseCoreKbd, &state);
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(dpy, &minKeycode, &maxKeycode);

    // The layout in use (its group) decides what a key types; first levels win over Shift ones.
    if (const X11::KeyboardDesc xkb{XkbGetMap(dpy, XkbAllClientInfoMask, XkbUseCoreKbd)}) {
        for (int level = 0; level < 2; ++level) {
            for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
                if (ours(keycode))
                    continue;
                const int groups = XkbKeyNumGroups(xkb.get(), keycode);
                if (groups == 0)
                    continue;
                // A key with fewer groups wraps the active one, as the server does.
                const int group = state.group % groups;
                if (level >= XkbKeyGroupWidth(xkb.get(), keycode, group))
                    continue;
                if (level == 1) {
                    // Only where Shift alone selects the second level.
                    const XkbKeyTypeRec *type = XkbKeyKeyType(xkb.get(), keycode, group);
                    bool shiftSelects = false;
                    for (int i = 0; i < type->map_count; ++i) {
                        const XkbKTMapEntryRec &entry = type->map[i];
                        if (entry.active && entry.mods.mask == ShiftMask && entry.level == 1)
                            shiftSelects = true;
                    }
                    if (!shiftSelects)
                        continue;
                }
                const KeySym sym = XkbKeySymEntry(xkb.get(), keycode, level, group);
                if (sym != NoSymbol && !m_places.contains(quint32(sym)))
                    m_places.insert(quint32(sym), {keycode, level == 1});
            }
        }
        // The paste key: `v` in the layout in use, else `v` of another layout, typed with that
        // one locked for the moment. A layout without any (Russian alone) gets `v` on a spare
        // key code when pasting; the key where `v` sits on a US keyboard is the last resort.
        if (const Place *v = find(XK_v); v && !v->shifted)
            m_pasteKeycode = v->keycode;
        for (int keycode = minKeycode; keycode <= maxKeycode && !m_pasteKeycode; ++keycode) {
            for (int group = 0; group < XkbKeyNumGroups(xkb.get(), keycode); ++group) {
                if (XkbKeySymEntry(xkb.get(), keycode, 0, group) == XK_v) {
                    m_pasteKeycode = keycode;
                    m_pasteGroup = group;
                    break;
                }
            }
        }
        if (XkbGetNames(dpy, XkbKeyNamesMask, xkb.get()) == Success && xkb->names &&
            xkb->names->keys) {
            for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
                if (std::string_view(xkb->names->keys[keycode].name, 4) == "AB04")
                    m_vPosition = keycode;
            }
        }
    }

    int perKeycode = 0;
    const X11::Held<KeySym> map(XGetKeyboardMapping(dpy, static_cast<unsigned char>(minKeycode),
                                                    maxKeycode - minKeycode + 1, &perKeycode));
    if (!map)
        return;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        const KeySym *syms = map.get() + (keycode - minKeycode) * perKeycode;
        if (!ours(keycode) &&
            std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; }))
            m_empty.push_back(keycode);
    }
}

const X11Keymap::Place *X11Keymap::find(quint32 keysym) const
{
    const auto it = m_places.constFind(keysym);
    return it == m_places.constEnd() ? nullptr : &*it;
}

int X11Keymap::keycodeFor(Display *dpy, quint32 keysym) const
{
    if (const Place *place = find(keysym); place && !place->shifted)
        return place->keycode;
    return XKeysymToKeycode(dpy, KeySym(keysym));
}
