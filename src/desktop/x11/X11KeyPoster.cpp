#include "X11KeyPoster.h"

#include "KeyEvent.h"
#include "Log.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

Q_LOGGING_CATEGORY(lcKeyPoster, "vesk.keyposter", QtInfoMsg)

namespace {

// A termination signal while spare key codes are bound: the bindings go back before the process
// ends as the signal's earlier disposition says.
int termPipe[2] = {-1, -1};
struct sigaction previousTerm
{};
struct sigaction previousInt
{};
X11KeyPoster *watchingPoster = nullptr;

void onTerminate(int signal)
{
    const char c = char(signal);
    [[maybe_unused]] const ssize_t n = write(termPipe[1], &c, 1);
}

} // namespace

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
    m_clock.start();
    Display *dpy = m_display.get();
    int opcode = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (XkbQueryExtension(dpy, &opcode, &m_xkbEvent, &error, &major, &minor)) {
        XkbSelectEvents(dpy, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                        XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    }
    // Clients answer a ping on the root window, some (Qt) to those who watch its structure,
    // others to those who watch its children.
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask | StructureNotifyMask);
    XFlush(dpy);
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(dpy), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { readEvents(); });
    m_restoreTimer.setSingleShot(true);
    QObject::connect(&m_restoreTimer, &QTimer::timeout, &m_restoreTimer,
                     [this] { restoreWhenRead(); });
}

X11KeyPoster::~X11KeyPoster()
{
    if (m_inInsertion)
        endInsertion();
    if (holdsBindings()) {
        // Put back only once the client has read its keys, but never hold up the exit long.
        askForProof();
        QElapsedTimer waited;
        waited.start();
        while (!allRead() && waited.elapsed() < 3000) {
            QThread::msleep(5);
            readEvents();
        }
    }
    unbindAll();
    watchTermination(false);
}

bool X11KeyPoster::holdsBindings() const
{
    return std::any_of(m_spares.begin(), m_spares.end(), [](const Spare &s) {
        return s.slots[0].bound != 0 || s.slots[1].bound != 0;
    });
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

QList<quint32> X11KeyPoster::keysymsNeeded(const QString &text)
{
    QList<quint32> needed;
    for (char32_t c : text.toUcs4()) {
        const quint32 sym = keysymFor(c);
        if (sym != 0 && !needed.contains(sym))
            needed.append(sym);
    }
    return needed;
}

X11KeyPoster::OwnKeys::OwnKeys(X11KeyPoster *poster) : m_poster(poster)
{
    if (m_poster->m_ownKeysOpen)
        return;
    m_batch.emplace(m_poster->m_display.get());
    m_poster->m_ownKeysOpen = true;
}

X11KeyPoster::OwnKeys::~OwnKeys()
{
    if (m_batch)
        m_poster->m_ownKeysOpen = false;
}

void X11KeyPoster::fake(int keycode, bool down)
{
    // Every key goes out inside a batch, so that the key sources know it for ours.
    const OwnKeys own(this);
    XTestFakeKeyEvent(m_display.get(), unsigned(keycode), down ? True : False, CurrentTime);
}

int X11KeyPoster::layoutKeycode(quint32 keysym) const
{
    const auto it = m_layout.constFind(keysym);
    if (it != m_layout.constEnd() && !it->shifted)
        return it->keycode;
    return XKeysymToKeycode(m_display.get(), KeySym(keysym));
}

void X11KeyPoster::dropForeignBindings()
{
    // A layout loaded since (setxkbmap, a desktop's layout switch) may use a key code of ours:
    // what it put there is no longer ours to write over or take back.
    Display *dpy = m_display.get();
    for (Spare &spare : m_spares) {
        Slot *slots = spare.slots;
        if (slots[0].bound == 0 && slots[1].bound == 0)
            continue;
        int perKeycode = 0;
        KeySym *syms =
            XGetKeyboardMapping(dpy, static_cast<unsigned char>(spare.keycode), 1, &perKeycode);
        const KeySym want0 = slots[0].bound;
        const KeySym want1 = slots[1].bound ? slots[1].bound : slots[0].bound;
        const bool same = syms && perKeycode >= 2 && syms[0] == want0 && syms[1] == want1;
        if (syms)
            XFree(syms);
        if (!same) {
            qCInfo(lcKeyPoster) << "key code" << spare.keycode << "was rebound by someone else";
            slots[0].bound = 0;
            slots[1].bound = 0;
        }
    }
}

void X11KeyPoster::readLayout()
{
    Display *dpy = m_display.get();
    m_layout.clear();
    m_pasteKeycode = 0;
    m_pasteGroup = -1;
    std::vector<Spare> kept;
    for (const Spare &spare : m_spares) {
        if (spare.slots[0].bound != 0 || spare.slots[1].bound != 0)
            kept.push_back(spare);
    }
    const auto keptSpare = [&kept](int keycode) {
        return std::find_if(kept.begin(), kept.end(),
                            [keycode](const Spare &s) { return s.keycode == keycode; });
    };
    m_spares.clear();
    XkbStateRec state{};
    XkbGetState(dpy, XkbUseCoreKbd, &state);
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(dpy, &minKeycode, &maxKeycode);

    // The layout in use (its group) decides what a key types; first levels win over Shift ones.
    if (XkbDescPtr xkb = XkbGetMap(dpy, XkbAllClientInfoMask, XkbUseCoreKbd)) {
        for (int level = 0; level < 2; ++level) {
            for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
                if (keptSpare(keycode) != kept.end())
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
        // The paste key: `v` in the layout in use, else `v` of another layout, typed with that
        // one locked for the moment. A layout without any (Russian alone) gets `v` on a spare
        // key code when pasting; the key where `v` sits on a US keyboard is the last resort.
        if (const auto v = m_layout.constFind(XK_v); v != m_layout.constEnd() && !v->shifted)
            m_pasteKeycode = v->keycode;
        for (int keycode = minKeycode; keycode <= maxKeycode && !m_pasteKeycode; ++keycode) {
            for (int group = 0; group < XkbKeyNumGroups(xkb, keycode); ++group) {
                if (XkbKeySymEntry(xkb, keycode, 0, group) == XK_v) {
                    m_pasteKeycode = keycode;
                    m_pasteGroup = group;
                    break;
                }
            }
        }
        m_vPosition = 0;
        if (XkbGetNames(dpy, XkbKeyNamesMask, xkb) == Success && xkb->names && xkb->names->keys) {
            for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
                if (std::string_view(xkb->names->keys[keycode].name, 4) == "AB04")
                    m_vPosition = keycode;
            }
        }
        XkbFreeKeyboard(xkb, 0, True);
    }

    int perKeycode = 0;
    KeySym *map = XGetKeyboardMapping(dpy, static_cast<unsigned char>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    if (map) {
        for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
            if (const auto old = keptSpare(keycode); old != kept.end()) {
                m_spares.push_back(*old);
                continue;
            }
            const KeySym *syms = map + (keycode - minKeycode) * perKeycode;
            if (std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; }))
                m_spares.push_back({keycode, {}});
        }
        XFree(map);
    }
}

void X11KeyPoster::neutraliseModifiers()
{
    Display *dpy = m_display.get();
    // Locks (Caps Lock, a level lock) and latches change what a key types: off for the
    // insertion, the locks back at its end.
    XkbStateRec state{};
    XkbGetState(dpy, XkbUseCoreKbd, &state);
    m_lockedMods = state.locked_mods;
    m_latchedMods = state.latched_mods;
    if (m_lockedMods)
        XkbLockModifiers(dpy, XkbUseCoreKbd, m_lockedMods, 0);
    if (m_latchedMods)
        XkbLatchModifiers(dpy, XkbUseCoreKbd, m_latchedMods, 0);

    // Modifiers the user still holds would turn the posted keys into shortcuts.
    char keys[32] = {};
    XQueryKeymap(dpy, keys);
    std::vector<int> held;
    if (XModifierKeymap *mods = XGetModifierMapping(dpy)) {
        for (int i = 0; i < 8 * mods->max_keypermod; ++i) {
            const int keycode = mods->modifiermap[i];
            // The lock modifier's keys only lock; their state was handled above.
            if (keycode != 0 && i / mods->max_keypermod != LockMapIndex &&
                (keys[keycode / 8] & (1 << (keycode % 8))) &&
                std::find(held.begin(), held.end(), keycode) == held.end())
                held.push_back(keycode);
        }
        XFreeModifiermap(mods);
    }
    if (held.empty())
        return;
    {
        const OwnKeys own(this);
        for (int keycode : held)
            fake(keycode, false);
    }
    XSync(dpy, False);
    // The server ignores the release of a key that our device never pressed (the user's
    // keyboard holds it): pressed and released through ours, the key is up for everyone.
    XQueryKeymap(dpy, keys);
    {
        const OwnKeys own(this);
        for (int keycode : held) {
            if (keys[keycode / 8] & (1 << (keycode % 8))) {
                fake(keycode, true);
                fake(keycode, false);
            }
        }
    }
    XSync(dpy, False);
}

void X11KeyPoster::restoreModifiers()
{
    if (m_lockedMods)
        XkbLockModifiers(m_display.get(), XkbUseCoreKbd, m_lockedMods, m_lockedMods);
    m_lockedMods = 0;
    m_latchedMods = 0;
}

void X11KeyPoster::beginInsertion(const QString &text)
{
    if (m_inInsertion)
        endInsertion();
    m_restoreTimer.stop();
    m_inInsertion = true;
    readEvents();
    m_layoutChanged = false;
    dropForeignBindings();
    readLayout();
    neutraliseModifiers();
    bindFor(text);
    XFlush(m_display.get());
}

bool X11KeyPoster::isRead(const Slot &slot) const
{
    if (slot.pressSerial <= m_readSerial || slot.pressedAtMs < 0)
        return true;
    const bool unanswered = m_pingSerial >= slot.pressSerial && !m_pingAnswerable;
    const qint64 margin = unanswered ? unansweredMarginMs : pingTimeoutMs;
    return m_clock.elapsed() - slot.pressedAtMs >= margin;
}

bool X11KeyPoster::allRead() const
{
    return std::all_of(m_spares.begin(), m_spares.end(),
                       [this](const Spare &s) { return isRead(s.slots[0]) && isRead(s.slots[1]); });
}

void X11KeyPoster::bindFor(const QString &text)
{
    QList<quint32> needed;
    for (quint32 sym : keysymsNeeded(text)) {
        if (!m_layout.contains(sym))
            needed.append(sym);
    }
    if (needed.isEmpty() || m_spares.empty())
        return;
    // The characters wanted soonest stay or get bound; any other binding may go once read.
    const qsizetype capacity = qsizetype(m_spares.size() * 2);
    const QSet<quint32> soon(needed.begin(), needed.begin() + std::min(capacity, needed.size()));
    QSet<quint32> bound;
    for (const Spare &spare : m_spares) {
        for (const Slot &slot : spare.slots)
            bound.insert(slot.bound);
    }
    std::vector<int> changed;
    auto next = needed.cbegin();
    const auto nextMissing = [&] {
        while (next != needed.cend() && bound.contains(*next))
            ++next;
        return next != needed.cend() && soon.contains(*next);
    };
    // First levels first, free ones before those that hold something: Shift costs two events.
    for (int pass = 0; pass < 4 && nextMissing(); ++pass) {
        const int level = pass / 2;
        const bool takeUsed = pass % 2 == 1;
        for (Spare &spare : m_spares) {
            Slot &slot = spare.slots[level];
            if (!nextMissing())
                break;
            // A second level alone would not type: its key needs a first one.
            if (level == 1 && spare.slots[0].bound == 0)
                continue;
            if ((slot.bound != 0) != takeUsed || soon.contains(slot.bound) || !isRead(slot))
                continue;
            slot.bound = *next;
            bound.insert(*next);
            changed.push_back(spare.keycode);
        }
    }
    applyBindings(changed);
}

void X11KeyPoster::applyBindings(const std::vector<int> &keycodes)
{
    if (keycodes.empty())
        return;
    std::vector<int> sorted = keycodes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    const auto spareOf = [this](int keycode) -> const Spare & {
        return *std::find_if(m_spares.begin(), m_spares.end(),
                             [keycode](const Spare &s) { return s.keycode == keycode; });
    };
    // One request per run of neighbouring key codes, all before the keys that use them.
    for (size_t i = 0; i < sorted.size();) {
        size_t end = i + 1;
        while (end < sorted.size() && sorted[end] == sorted[end - 1] + 1)
            ++end;
        std::vector<KeySym> syms;
        for (size_t k = i; k < end; ++k) {
            const Spare &spare = spareOf(sorted[k]);
            const KeySym first = spare.slots[0].bound;
            // A first level alone is given for both, or Shift would type its capital.
            const KeySym second = spare.slots[1].bound ? spare.slots[1].bound : first;
            syms.push_back(first);
            syms.push_back(second);
        }
        XChangeKeyboardMapping(m_display.get(), sorted[i], 2, syms.data(), int(end - i));
        i = end;
    }
    XSync(m_display.get(), False);
    watchTermination(holdsBindings());
}

void X11KeyPoster::askForProof()
{
    if (m_pressSerial <= m_readSerial || m_pingSerial == m_pressSerial)
        return;
    Display *dpy = m_display.get();
    m_pingSerial = m_pressSerial;
    m_pingSentAtMs = m_clock.elapsed();
    m_pingAnswerable = false;
    const Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);
    X11::ErrorTrap trap(dpy);
    Window window = None;
    int revert = 0;
    XGetInputFocus(dpy, &window, &revert);
    // The keys went to the focused window; the ping goes to its top-level window, which says
    // whether it answers. Both reach the client on one connection, the ping after the keys.
    while (window != None && window != PointerRoot) {
        Atom *atoms = nullptr;
        int count = 0;
        if (XGetWMProtocols(dpy, window, &atoms, &count)) {
            m_pingAnswerable = std::find(atoms, atoms + count, ping) != atoms + count;
            XFree(atoms);
            break;
        }
        Window root = None;
        Window parent = None;
        Window *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(dpy, window, &root, &parent, &children, &n))
            break;
        if (children)
            XFree(children);
        if (parent == root || parent == None) {
            window = None;
            break;
        }
        window = parent;
    }
    if (!m_pingAnswerable) {
        qCDebug(lcKeyPoster) << "the focused window does not answer pings";
        return;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(ping);
    event.xclient.data.l[1] = long(++m_pingId);
    event.xclient.data.l[2] = long(window);
    XSendEvent(dpy, window, False, NoEventMask, &event);
    XFlush(dpy);
    qCDebug(lcKeyPoster) << "ping" << m_pingId << "to" << window << "after press" << m_pingSerial;
}

void X11KeyPoster::readEvents()
{
    Display *dpy = m_display.get();
    const Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == ClientMessage) {
            if (event.xclient.format == 32 && Atom(event.xclient.data.l[0]) == ping &&
                static_cast<unsigned long>(event.xclient.data.l[1]) == m_pingId) {
                m_readSerial = std::max(m_readSerial, m_pingSerial);
                qCDebug(lcKeyPoster)
                    << "pong" << m_pingId << "after" << m_clock.elapsed() - m_pingSentAtMs << "ms";
            }
        } else if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            if (event.xmapping.request != MappingKeyboard)
                continue;
            // Our own changes touch spare key codes only.
            for (int k = 0; k < event.xmapping.count; ++k) {
                const int keycode = event.xmapping.first_keycode + k;
                if (std::none_of(m_spares.begin(), m_spares.end(),
                                 [keycode](const Spare &s) { return s.keycode == keycode; }))
                    m_layoutChanged = true;
            }
        } else if (m_xkbEvent >= 0 && event.type == m_xkbEvent) {
            const auto *any = reinterpret_cast<const XkbAnyEvent *>(&event);
            if (any->xkb_type == XkbNewKeyboardNotify)
                m_layoutChanged = true;
        }
    }
}

void X11KeyPoster::restoreWhenRead()
{
    readEvents();
    if (m_inInsertion)
        return;
    if (allRead())
        unbindAll();
    else
        m_restoreTimer.start(250);
}

void X11KeyPoster::unbindAll()
{
    m_restoreTimer.stop();
    dropForeignBindings();
    std::vector<int> keycodes;
    for (Spare &spare : m_spares) {
        if (spare.slots[0].bound == 0 && spare.slots[1].bound == 0)
            continue;
        spare.slots[0].bound = 0;
        spare.slots[1].bound = 0;
        keycodes.push_back(spare.keycode);
    }
    applyBindings(keycodes);
}

void X11KeyPoster::tap(int keycode, bool shifted)
{
    int shift = 0;
    if (shifted) {
        shift = layoutKeycode(XK_Shift_L);
        if (!shift)
            shift = layoutKeycode(XK_Shift_R);
    }
    if (shift)
        fake(shift, true);
    fake(keycode, true);
    fake(keycode, false);
    if (shift)
        fake(shift, false);
}

int X11KeyPoster::postText(QString &text)
{
    if (!m_inInsertion)
        beginInsertion(text);
    readEvents();
    if (m_layoutChanged) {
        m_layoutChanged = false;
        dropForeignBindings();
        readLayout();
        bindFor(text);
    }
    int wait = 0;
    const OwnKeys own(this);
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
        if (m_spares.empty()) {
            // A keyboard map without a free key code cannot type this character.
            text.remove(0, pair ? 2 : 1);
            continue;
        }
        Spare *spare = nullptr;
        int level = 0;
        const auto find = [&] {
            for (Spare &s : m_spares) {
                for (int l = 0; l < 2; ++l) {
                    if (s.slots[l].bound == sym) {
                        spare = &s;
                        level = l;
                        return true;
                    }
                }
            }
            return false;
        };
        if (!find()) {
            // The next batch: bound once the keys typed so far on the key codes it takes have
            // been read.
            XFlush(m_display.get());
            bindFor(text);
            if (!find()) {
                askForProof();
                wait = 5;
                break;
            }
        }
        tap(spare->keycode, level == 1);
        Slot &slot = spare->slots[level];
        slot.pressSerial = ++m_pressSerial;
        slot.pressedAtMs = m_clock.elapsed();
        text.remove(0, pair ? 2 : 1);
    }
    XFlush(m_display.get());
    return text.isEmpty() ? 0 : wait;
}

void X11KeyPoster::postKey(Key key, quint64 flags)
{
    if (!m_inInsertion)
        beginInsertion(QString());
    Display *dpy = m_display.get();
    int keycode = 0;
    int group = -1;
    if (key == Key::v) {
        keycode = m_pasteKeycode;
        group = m_pasteGroup;
        if (!keycode) {
            bindFor(QStringLiteral("v"));
            for (Spare &spare : m_spares) {
                if (spare.slots[0].bound == XK_v) {
                    keycode = spare.keycode;
                    spare.slots[0].pressSerial = ++m_pressSerial;
                    spare.slots[0].pressedAtMs = m_clock.elapsed();
                }
            }
        }
        if (!keycode)
            keycode = m_vPosition;
    } else {
        keycode = layoutKeycode(key == Key::insert ? XK_Insert : XK_Return);
    }
    if (!keycode) {
        Log::write(QStringLiteral("the keyboard map has no key to press for %1")
                       .arg(key == Key::v        ? QStringLiteral("paste")
                            : key == Key::insert ? QStringLiteral("Insert")
                                                 : QStringLiteral("Return")));
        return;
    }
    std::vector<int> modifiers;
    const std::pair<quint64, KeySym> table[] = {{ModifierFlag::shift, XK_Shift_L},
                                                {ModifierFlag::control, XK_Control_L},
                                                {ModifierFlag::option, XK_Alt_L},
                                                {ModifierFlag::command, XK_Super_L}};
    for (const auto &[flag, modifier] : table) {
        if (flags & flag) {
            if (const int code = layoutKeycode(quint32(modifier)))
                modifiers.push_back(code);
        }
    }
    XkbStateRec state{};
    XkbGetState(dpy, XkbUseCoreKbd, &state);
    const int lockedGroup = state.locked_group;
    if (group >= 0 && group != state.group)
        XkbLockGroup(dpy, XkbUseCoreKbd, unsigned(group));
    {
        const OwnKeys own(this);
        for (int code : modifiers)
            fake(code, true);
        fake(keycode, true);
        fake(keycode, false);
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
            fake(*it, false);
    }
    if (group >= 0 && group != state.group)
        XkbLockGroup(dpy, XkbUseCoreKbd, unsigned(lockedGroup));
    XFlush(dpy);
}

void X11KeyPoster::endInsertion()
{
    if (!m_inInsertion)
        return;
    m_inInsertion = false;
    restoreModifiers();
    if (holdsBindings()) {
        askForProof();
        m_restoreTimer.start(restoreDelayMs);
    }
    XSync(m_display.get(), False);
}

void X11KeyPoster::watchTermination(bool on)
{
    if (on == (watchingPoster == this))
        return;
    if (!on) {
        sigaction(SIGTERM, &previousTerm, nullptr);
        sigaction(SIGINT, &previousInt, nullptr);
        watchingPoster = nullptr;
        return;
    }
    if (watchingPoster)
        return; // one poster per process in practice; the first one keeps the watch
    static QSocketNotifier *notifier = nullptr;
    if (termPipe[0] < 0) {
        if (pipe2(termPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        notifier =
            new QSocketNotifier(termPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
            char signal = 0;
            while (read(termPipe[0], &signal, 1) == 1) {
                if (X11KeyPoster *poster = watchingPoster) {
                    if (poster->m_inInsertion)
                        poster->restoreModifiers();
                    poster->unbindAll();
                    XSync(poster->m_display.get(), False);
                }
                // Then the signal does what it did before.
                sigaction(SIGTERM, &previousTerm, nullptr);
                sigaction(SIGINT, &previousInt, nullptr);
                watchingPoster = nullptr;
                raise(signal);
            }
        });
    }
    struct sigaction action
    {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGINT, &action, &previousInt);
    watchingPoster = this;
}

QStringList X11KeyPoster::focusedWindowClass()
{
    Display *dpy = m_display.get();
    X11::ErrorTrap trap(dpy);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    // The focus often rests on a child of the application's window; its class sits higher up.
    QStringList names;
    X11::walkUp(dpy, focus, [&](unsigned long window) {
        XClassHint hint{};
        if (!XGetClassHint(dpy, window, &hint))
            return false;
        names = {QString::fromLocal8Bit(hint.res_name), QString::fromLocal8Bit(hint.res_class)};
        XFree(hint.res_name);
        XFree(hint.res_class);
        return true;
    });
    return names;
}
