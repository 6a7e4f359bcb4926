#include "desktop/x11/X11KeyPoster.h"

#include "desktop/KeyEvent.h"
#include "records/Log.h"
#include "desktop/x11/X11FocusedWindow.h"

#include <QLoggingCategory>
#include <QThread>
#include "desktop/x11/X11Holders.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>

Q_LOGGING_CATEGORY(lcKeyPoster, "vesk.keyposter", QtInfoMsg)

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
    return m_pool.holdsBindings();
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

void X11KeyPoster::dropForeignBindings()
{
    // A layout loaded since (setxkbmap, a desktop's layout switch) may use a key code of ours:
    // what it put there is no longer ours to write over or take back.
    Display *dpy = m_display.get();
    for (const SpareKeyPool::Spare &spare : m_pool.spares()) {
        if (!spare.holds())
            continue;
        int perKeycode = 0;
        const X11::Held<KeySym> syms(
            XGetKeyboardMapping(dpy, static_cast<unsigned char>(spare.keycode), 1, &perKeycode));
        const KeySym want0 = spare.slots[0].bound;
        const KeySym want1 = spare.slots[1].bound ? spare.slots[1].bound : spare.slots[0].bound;
        if (!syms || perKeycode < 2 || syms.get()[0] != want0 || syms.get()[1] != want1) {
            qCInfo(lcKeyPoster) << "key code" << spare.keycode << "was rebound by someone else";
            m_pool.forget(spare.keycode);
        }
    }
}

void X11KeyPoster::readLayout()
{
    m_keymap.read(m_display.get(), [this](int keycode) { return m_pool.isBound(keycode); });
    m_pool.setEmpty(m_keymap.emptyKeycodes());
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
    m_modifiers.neutralise(m_display.get(), [this](const std::vector<std::pair<int, bool>> &keys) {
        const OwnKeys own(this);
        for (const auto &[keycode, down] : keys)
            fake(keycode, down);
    });
    bindFor(text);
    XFlush(m_display.get());
}

bool X11KeyPoster::isRead(const SpareKeyPool::Slot &slot) const
{
    return m_receipt.isRead(slot.pressSerial, slot.pressedAtMs, m_clock.elapsed());
}

bool X11KeyPoster::allRead() const
{
    return m_pool.allRead([this](const SpareKeyPool::Slot &slot) { return isRead(slot); });
}

void X11KeyPoster::bindFor(const QString &text)
{
    QList<quint32> needed;
    for (quint32 sym : keysymsNeeded(text)) {
        if (!m_keymap.find(sym))
            needed.append(sym);
    }
    applyBindings(
        m_pool.bind(needed, [this](const SpareKeyPool::Slot &slot) { return isRead(slot); }));
}

void X11KeyPoster::applyBindings(const std::vector<int> &keycodes)
{
    if (keycodes.empty())
        return;
    // One request per run of neighbouring key codes, all before the keys that use them.
    for (SpareKeyPool::Run &run : m_pool.runs(keycodes)) {
        std::vector<KeySym> syms(run.keysyms.begin(), run.keysyms.end());
        XChangeKeyboardMapping(m_display.get(), run.first, 2, syms.data(), int(syms.size() / 2));
    }
    XSync(m_display.get(), False);
    watchTermination(holdsBindings());
}

void X11KeyPoster::askForProof()
{
    m_receipt.ask(m_display.get(), m_clock.elapsed());
}

void X11KeyPoster::readEvents()
{
    Display *dpy = m_display.get();
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (m_receipt.takeAnswer(dpy, event, m_clock.elapsed()))
            continue;
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            if (event.xmapping.request != MappingKeyboard)
                continue;
            // Our own changes touch spare key codes only.
            for (int k = 0; k < event.xmapping.count; ++k) {
                if (!m_pool.isSpare(event.xmapping.first_keycode + k))
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
    applyBindings(m_pool.releaseAll());
}

void X11KeyPoster::tap(int keycode, bool shifted)
{
    int shift = 0;
    if (shifted) {
        shift = m_keymap.keycodeFor(m_display.get(), XK_Shift_L);
        if (!shift)
            shift = m_keymap.keycodeFor(m_display.get(), XK_Shift_R);
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
        const qsizetype length = pair ? 2 : 1;
        const quint32 sym = keysymFor(c);
        // A keyboard map without a free key code cannot type a character its layout lacks.
        if (sym == 0 || (!m_keymap.find(sym) && m_pool.isEmpty())) {
            text.remove(0, length);
            continue;
        }
        if (const X11Keymap::Place *place = m_keymap.find(sym)) {
            tap(place->keycode, place->shifted);
            text.remove(0, length);
            continue;
        }
        auto spare = m_pool.find(sym);
        if (!spare) {
            // The next batch: bound once the keys typed so far on the key codes it takes have
            // been read.
            XFlush(m_display.get());
            bindFor(text);
            spare = m_pool.find(sym);
            if (!spare) {
                askForProof();
                wait = 5;
                break;
            }
        }
        const auto [at, level] = *spare;
        tap(at->keycode, level == 1);
        SpareKeyPool::Slot &slot = at->slots[level];
        slot.pressSerial = m_receipt.notePress();
        slot.pressedAtMs = m_clock.elapsed();
        text.remove(0, length);
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
        keycode = m_keymap.pasteKeycode();
        group = m_keymap.pasteGroup();
        if (!keycode) {
            bindFor(QStringLiteral("v"));
            if (const auto spare = m_pool.find(XK_v); spare && spare->second == 0) {
                keycode = spare->first->keycode;
                spare->first->slots[0].pressSerial = m_receipt.notePress();
                spare->first->slots[0].pressedAtMs = m_clock.elapsed();
            }
        }
        if (!keycode)
            keycode = m_keymap.vPosition();
    } else {
        keycode = m_keymap.keycodeFor(dpy, key == Key::insert ? XK_Insert : XK_Return);
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
            if (const int code = m_keymap.keycodeFor(dpy, quint32(modifier)))
                modifiers.push_back(code);
        }
    }
    {
        const X11GroupLock locked(dpy, group);
        const OwnKeys own(this);
        for (int code : modifiers)
            fake(code, true);
        fake(keycode, true);
        fake(keycode, false);
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
            fake(*it, false);
    }
    XFlush(dpy);
}

void X11KeyPoster::endInsertion()
{
    if (!m_inInsertion)
        return;
    m_inInsertion = false;
    m_modifiers.restore(m_display.get());
    if (holdsBindings()) {
        askForProof();
        m_restoreTimer.start(restoreDelayMs);
    }
    XSync(m_display.get(), False);
}

void X11KeyPoster::watchTermination(bool on)
{
    if (on == (m_termination && m_termination->installed()))
        return;
    if (!on) {
        m_termination.reset();
        return;
    }
    // The bindings go back before the process ends as the signal's earlier disposition says.
    m_termination = std::make_unique<TerminationGuard>([this](int signal) {
        // Kept past this call, which the guard makes; unbinding no longer ends it.
        m_spentTermination = std::move(m_termination);
        if (m_inInsertion)
            m_modifiers.restore(m_display.get());
        unbindAll();
        XSync(m_display.get(), False);
        m_spentTermination->passOn(signal);
    });
}

QStringList X11KeyPoster::focusedWindowClass()
{
    return X11::FocusedWindow::windowClass(m_display.get());
}
