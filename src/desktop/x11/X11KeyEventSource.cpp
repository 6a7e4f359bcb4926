#include "desktop/x11/X11KeyEventSource.h"

#include <QTimer>
#include "desktop/x11/X11Holders.h"
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <algorithm>
#include <cstring>

X11KeyEventSource::X11KeyEventSource() = default;

X11KeyEventSource::~X11KeyEventSource()
{
    *m_alive = false;
    if (m_markWindow)
        X11::OwnInput::removeWatcher(m_markWindow);
    m_notifier.reset();
}

bool X11KeyEventSource::install(Handler handler)
{
    m_display = X11::openDisplay();
    if (!m_display)
        return false;
    Display *dpy = m_display.get();
    int event = 0;
    int error = 0;
    if (!XQueryExtension(dpy, "XInputExtension", &m_xiOpcode, &event, &error))
        return false;
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(dpy, &major, &minor) != Success || major < 2)
        return false;

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask{XIAllMasterDevices, int(sizeof(bits)), bits};
    {
        X11::ErrorTrap trap(dpy);
        XISelectEvents(dpy, DefaultRootWindow(dpy), &mask, 1);
        if (trap.failed())
            return false;
    }
    m_handler = std::move(handler);
    findTestDevices();
    watchOwnInput();
    seedHeldKeys();

    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(dpy), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { drain(); });
    // Events read into Xlib's queue during the calls above would not wake the notifier.
    const std::weak_ptr<bool> alive = m_alive;
    QTimer::singleShot(0, m_notifier.get(), [this, alive] {
        if (auto a = alive.lock(); a && *a)
            drain();
    });
    return true;
}

void X11KeyEventSource::findTestDevices()
{
    // XTEST devices carry synthetic input; ours is ignored while we post it.
    int count = 0;
    const X11::DeviceInfo devices(XIQueryDevice(m_display.get(), XIAllDevices, &count));
    for (int i = 0; devices && i < count; ++i) {
        if (devices.get()[i].name && std::strstr(devices.get()[i].name, "XTEST"))
            m_testDevices.insert(devices.get()[i].deviceid);
    }
}

void X11KeyEventSource::watchOwnInput()
{
    Display *dpy = m_display.get();
    m_markType = XInternAtom(dpy, X11::OwnInput::markName, False);
    // Never mapped: it only receives the brackets, which are sent to its maker.
    m_markWindow = XCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, InputOnly,
                                 CopyFromParent, 0, nullptr);
    // On the server before the poster can send to it.
    XSync(dpy, False);
    X11::OwnInput::addWatcher(m_markWindow);
}

void X11KeyEventSource::seedHeldKeys()
{
    // A modifier already down when watching starts is released later; know it was down.
    char keys[32] = {};
    XQueryKeymap(m_display.get(), keys);
    for (int keycode = 8; keycode < 256; ++keycode) {
        if (keys[keycode / 8] & (1 << (keycode % 8)))
            m_translator.setHeld(quint32(keycode), roleOfKeycode(keycode));
    }
}

KeyTranslator::Role X11KeyEventSource::roleOfKeycode(int keycode)
{
    // Asked of the server each time, so a changed layout or map counts at once.
    int perKeycode = 0;
    X11::ErrorTrap trap(m_display.get());
    const X11::Held<KeySym> syms(
        XGetKeyboardMapping(m_display.get(), static_cast<unsigned char>(keycode), 1, &perKeycode));
    if (!syms)
        return KeyTranslator::Role::none;
    const KeySym first = perKeycode > 0 ? syms.get()[0] : NoSymbol;
    return KeyTranslator::roleForKeysym(quint32(first));
}

void X11KeyEventSource::drain()
{
    const std::shared_ptr<bool> alive = m_alive;
    while (*alive && XPending(m_display.get())) {
        XEvent event;
        XNextEvent(m_display.get(), &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            continue;
        }
        if (event.type == ClientMessage && event.xclient.window == m_markWindow &&
            event.xclient.message_type == m_markType) {
            m_ownBatches = std::max(0, m_ownBatches + (event.xclient.data.l[0] ? 1 : -1));
            continue;
        }
        XGenericEventCookie *cookie = &event.xcookie;
        if (event.type != GenericEvent || cookie->extension != m_xiOpcode)
            continue;
        int evtype = 0;
        int detail = 0;
        int sourceId = 0;
        {
            const X11::EventData data(m_display.get(), cookie);
            if (!data)
                continue;
            const auto *raw = static_cast<const XIRawEvent *>(cookie->data);
            evtype = cookie->evtype;
            detail = raw->detail;
            sourceId = raw->sourceid;
        }
        // May destroy this source; the loop checks before touching it again.
        handleCookie(evtype, detail, sourceId);
    }
}

void X11KeyEventSource::handleCookie(int evtype, int detail, int sourceId)
{
    if (m_ownBatches > 0 && m_testDevices.contains(sourceId))
        return;
    std::optional<KeyEvent> event;
    switch (evtype) {
    case XI_RawKeyPress:
        event = m_translator.press(quint32(detail), roleOfKeycode(detail));
        break;
    case XI_RawKeyRelease:
        event = m_translator.release(quint32(detail));
        break;
    case XI_RawButtonPress:
        event = KeyTranslator::buttonPress(detail);
        break;
    default:
        break;
    }
    if (event && m_handler) {
        const Handler handler = m_handler;
        handler(*event);
    }
}
