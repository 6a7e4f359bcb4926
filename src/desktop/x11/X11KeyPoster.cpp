#include "X11KeyPoster.h"

#include "KeyEvent.h"

#include <algorithm>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

std::unique_ptr<X11KeyPoster> X11KeyPoster::open()
{
    X11::DisplayPtr display = X11::openDisplay();
    if (!display)
        return nullptr;
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display.get(), &event, &error, &major, &minor))
        return nullptr;
    return std::unique_ptr<X11KeyPoster>(new X11KeyPoster(std::move(display)));
}

X11KeyPoster::X11KeyPoster(X11::DisplayPtr display) : m_display(std::move(display))
{
    m_restoreTimer.setSingleShot(true);
    m_restoreTimer.setInterval(restoreDelayMs);
    QObject::connect(&m_restoreTimer, &QTimer::timeout, &m_restoreTimer, [this] { unbindAll(); });
}

X11KeyPoster::~X11KeyPoster()
{
    if (m_inInsertion)
        endInsertion();
    unbindAll();
}

bool X11KeyPoster::holdsBindings() const
{
    return std::any_of(m_spares.begin(), m_spares.end(),
                       [](const Spare &s) { return s.bound != 0; });
}

quint32 X11KeyPoster::keysymFor(char32_t c)
{
    if (c == U'\t')
        return XK_Tab;
    if (c < 0x20 || (c >= 0x7f && c < 0xa0) || c > 0x10ffff || (c >= 0xd800 && c < 0xe000))
        return 0;
    // Latin-1 keysyms equal their code points; every other character has a Unicode keysym.
    if (c < 0x100)
        return quint32(c);
    return 0x01000000u | quint32(c);
}

void X11KeyPoster::fake(int keycode, bool down)
{
    XTestFakeKeyEvent(m_display.get(), unsigned(keycode), down ? True : False, CurrentTime);
    X11::OwnInput::markPosted(keycode);
}

int X11KeyPoster::keycodeOf(quint32 keysym) const
{
    return XKeysymToKeycode(m_display.get(), KeySym(keysym));
}

void X11KeyPoster::readLayout()
{
    Display *dpy = m_display.get();
    m_layout.clear();
    // Key codes still bound from an earlier insertion stay ours, with what they type.
    std::vector<Spare> kept;
    for (const Spare &spare : m_spares) {
        if (spare.bound != 0)
            kept.push_back(spare);
    }
    const auto ours = [&kept](int keycode) {
        return std::any_of(kept.begin(), kept.end(),
                           [keycode](const Spare &s) { return s.keycode == keycode; });
    };
    m_spares.clear();
    XkbStateRec state{};
    XkbGetState(dpy, XkbUseCoreKbd, &state);
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(dpy, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym *map = XGetKeyboardMapping(dpy, static_cast<unsigned char>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    // The layout in use (its group) decides what a key types; first levels win over Shift ones.
    if (XkbDescPtr xkb = XkbGetMap(dpy, XkbAllClientInfoMask, XkbUseCoreKbd)) {
        for (int level = 0; level < 2; ++level) {
            for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
                if (ours(keycode))
                    continue;
                const int groups = XkbKeyNumGroups(xkb, keycode);
                if (groups == 0)
                    continue;
                // A key with fewer groups wraps the active one, as the server does.
                const int group = state.group % groups;
                if (level >= XkbKeyGroupWidth(xkb, keycode, group))
                    continue;
                if (level == 1) {
                    // Only where Shift alone selects the second level.
                    const XkbKeyTypePtr type = XkbKeyKeyType(xkb, keycode, group);
                    bool shiftSelects = false;
                    for (int i = 0; i < type->map_count; ++i) {
                        const XkbKTMapEntryRec &entry = type->map[i];
                        if (entry.active && entry.mods.mask == ShiftMask && entry.level == 1)
                            shiftSelects = true;
                    }
                    if (!shiftSelects)
                        continue;
                }
                const KeySym sym = XkbKeySymEntry(xkb, keycode, level, group);
                if (sym != NoSymbol && !m_layout.contains(quint32(sym)))
                    m_layout.insert(quint32(sym), {keycode, level == 1});
            }
        }
        XkbFreeKeyboard(xkb, 0, True);
    }
    if (map) {
        // First levels first: the Shift ones are taken only when those run out.
        for (int level = 0; level < 2; ++level) {
            for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
                const auto old = std::find_if(kept.begin(), kept.end(), [&](const Spare &s) {
                    return s.keycode == keycode && s.level == level;
                });
                if (old != kept.end()) {
                    m_spares.push_back(*old);
                    m_spares.back().unsettled = false;
                    continue;
                }
                if (ours(keycode)) {
                    m_spares.push_back({keycode, level, 0, false, 0});
                    continue;
                }
                const KeySym *syms = map + (keycode - minKeycode) * perKeycode;
                bool empty = true;
                for (int i = 0; i < perKeycode && empty; ++i)
                    empty = syms[i] == NoSymbol;
                if (empty)
                    m_spares.push_back({keycode, level, 0, false, 0});
            }
        }
        XFree(map);
    }
}

void X11KeyPoster::beginInsertion()
{
    if (m_inInsertion)
        endInsertion();
    m_restoreTimer.stop();
    m_inInsertion = true;
    Display *dpy = m_display.get();
    readLayout();

    // Modifiers the user still holds would turn the posted keys into shortcuts.
    char keys[32] = {};
    XQueryKeymap(dpy, keys);
    if (XModifierKeymap *mods = XGetModifierMapping(dpy)) {
        for (int i = 0; i < 8 * mods->max_keypermod; ++i) {
            const int keycode = mods->modifiermap[i];
            if (keycode != 0 && (keys[keycode / 8] & (1 << (keycode % 8))))
                fake(keycode, false);
        }
        XFreeModifiermap(mods);
    }
    // Caps Lock would make typed letters capitals; it is put back afterwards.
    XkbStateRec state{};
    XkbGetState(dpy, XkbUseCoreKbd, &state);
    m_capsToggled = false;
    if (state.locked_mods & LockMask) {
        if (const int caps = keycodeOf(XK_Caps_Lock)) {
            fake(caps, true);
            fake(caps, false);
            m_capsToggled = true;
        }
    }
    XFlush(dpy);
}

int X11KeyPoster::settleMs() const
{
    return settleDelayMs + perBindingMs * m_bindingsUnsettled;
}

void X11KeyPoster::bind(Spare &spare, quint32 keysym)
{
    ++m_bindingsUnsettled;
    spare.bound = keysym;
    KeySym syms[2] = {NoSymbol, NoSymbol};
    for (const Spare &s : m_spares) {
        if (s.keycode == spare.keycode)
            syms[s.level] = KeySym(s.bound);
    }
    // A first level alone is given for both, or Shift would type its capital.
    if (syms[1] == NoSymbol)
        syms[1] = syms[0];
    XChangeKeyboardMapping(m_display.get(), spare.keycode, 2, syms, 1);
}

void X11KeyPoster::unbindAll()
{
    m_restoreTimer.stop();
    Display *dpy = m_display.get();
    std::vector<int> keycodes;
    for (Spare &spare : m_spares) {
        if (spare.bound == 0)
            continue;
        spare.bound = 0;
        if (std::find(keycodes.begin(), keycodes.end(), spare.keycode) == keycodes.end())
            keycodes.push_back(spare.keycode);
    }
    for (int keycode : keycodes) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(dpy, keycode, 2, none, 1);
    }
    if (!keycodes.empty())
        XSync(dpy, False);
}

void X11KeyPoster::tap(int keycode, bool shifted)
{
    const int shift = shifted ? keycodeOf(XK_Shift_L) : 0;
    if (shift)
        fake(shift, true);
    fake(keycode, true);
    fake(keycode, false);
    if (shift)
        fake(shift, false);
    m_lastPress.start();
}

int X11KeyPoster::postText(QString &text)
{
    if (!m_inInsertion)
        beginInsertion();
    if (!m_lastPress.isValid() || m_lastPress.elapsed() >= settleMs()) {
        for (Spare &spare : m_spares)
            spare.unsettled = false;
        m_bindingsUnsettled = 0;
    }
    int wait = 0;
    while (!text.isEmpty()) {
        const bool pair = text.size() > 1 && text[0].isHighSurrogate() && text[1].isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text[0], text[1]) : text[0].unicode();
        const quint32 sym = keysymFor(c);
        if (sym == 0) {
            text.remove(0, pair ? 2 : 1);
            continue;
        }
        if (const auto it = m_layout.constFind(sym); it != m_layout.constEnd()) {
            tap(it->keycode, it->shifted);
            text.remove(0, pair ? 2 : 1);
            continue;
        }
        Spare *spare = nullptr;
        for (Spare &s : m_spares) {
            if (s.bound == sym) {
                spare = &s;
                break;
            }
        }
        if (!spare) {
            // The binding used longest ago goes first: the text may well need the others again.
            for (Spare &s : m_spares) {
                if (!s.unsettled && (!spare || s.lastUse < spare->lastUse))
                    spare = &s;
            }
            if (spare) {
                bind(*spare, sym);
            } else if (m_spares.empty()) {
                // A keyboard map without a free key code cannot type this character.
                text.remove(0, pair ? 2 : 1);
                continue;
            } else {
                wait = int(std::max<qint64>(1, settleMs() - m_lastPress.elapsed()));
                break;
            }
        }
        tap(spare->keycode, spare->level == 1);
        spare->unsettled = true;
        spare->lastUse = ++m_uses;
        text.remove(0, pair ? 2 : 1);
    }
    XFlush(m_display.get());
    return text.isEmpty() ? 0 : wait;
}

void X11KeyPoster::postKey(Key key, quint64 flags)
{
    if (!m_inInsertion)
        beginInsertion();
    KeySym sym = XK_Return;
    if (key == Key::v)
        sym = XK_v;
    else if (key == Key::insert)
        sym = XK_Insert;
    const int keycode = keycodeOf(quint32(sym));
    if (!keycode)
        return;
    std::vector<int> modifiers;
    const std::pair<quint64, KeySym> table[] = {{ModifierFlag::shift, XK_Shift_L},
                                                {ModifierFlag::control, XK_Control_L},
                                                {ModifierFlag::option, XK_Alt_L},
                                                {ModifierFlag::command, XK_Super_L}};
    for (const auto &[flag, modifier] : table) {
        if (flags & flag) {
            if (const int code = keycodeOf(quint32(modifier)))
                modifiers.push_back(code);
        }
    }
    for (int code : modifiers)
        fake(code, true);
    fake(keycode, true);
    fake(keycode, false);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        fake(*it, false);
    m_lastPress.start();
    XFlush(m_display.get());
}

void X11KeyPoster::endInsertion()
{
    if (!m_inInsertion)
        return;
    m_inInsertion = false;
    Display *dpy = m_display.get();
    if (holdsBindings())
        m_restoreTimer.start();
    if (m_capsToggled) {
        if (const int caps = keycodeOf(XK_Caps_Lock)) {
            fake(caps, true);
            fake(caps, false);
        }
        m_capsToggled = false;
    }
    XSync(dpy, False);
}

QStringList X11KeyPoster::focusedWindowClass()
{
    Display *dpy = m_display.get();
    X11::ErrorTrap trap(dpy);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    // The focus often rests on a child of the application's window; its class sits higher up.
    while (focus != None && focus != PointerRoot) {
        XClassHint hint{};
        if (XGetClassHint(dpy, focus, &hint)) {
            QStringList names{QString::fromLocal8Bit(hint.res_name),
                              QString::fromLocal8Bit(hint.res_class)};
            XFree(hint.res_name);
            XFree(hint.res_class);
            return names;
        }
        Window root = None;
        Window parent = None;
        Window *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(dpy, focus, &root, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        if (parent == root)
            break;
        focus = parent;
    }
    return {};
}
