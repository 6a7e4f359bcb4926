#include "XTestInput.h"

#include "TestSupport.h"

#include <QWidget>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <poll.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace XTestInput {

namespace {

Display *display()
{
    static Display *connection = XOpenDisplay(nullptr);
    return connection;
}

// Sends what `send` asks of the server, and waits until the server has it.
template <typename Send> void act(Send send)
{
    if (Display *dpy = display()) {
        send(dpy);
        XSync(dpy, False);
    }
}

} // namespace

int keycode(const char *keysymName)
{
    // Asked afresh: Xlib's cache of this connection does not follow map changes.
    Display *dpy = display();
    if (!dpy)
        return 0;
    const KeySym wanted = XStringToKeysym(keysymName);
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(dpy, &minKeycode, &maxKeycode);
    KeySym *map = XGetKeyboardMapping(dpy, static_cast<unsigned char>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    int found = 0;
    for (int i = 0; map && i < (maxKeycode - minKeycode + 1) * perKeycode && !found; ++i) {
        if (map[i] == wanted)
            found = minKeycode + i / perKeycode;
    }
    if (map)
        XFree(map);
    return found;
}

void key(int keycode, bool down)
{
    act([&](Display *dpy) { XTestFakeKeyEvent(dpy, unsigned(keycode), down, CurrentTime); });
}

bool keyOnCoreKeyboard(int keycode, bool down)
{
    Display *dpy = display();
    if (!dpy)
        return false;
    // The server's own keyboard (Xvfb's), a slave device other than the XTEST ones.
    static XDevice *device = [dpy]() -> XDevice * {
        int count = 0;
        XDeviceInfo *devices = XListInputDevices(dpy, &count);
        XDevice *found = nullptr;
        for (int i = 0; i < count && !found; ++i) {
            const QByteArray name(devices[i].name);
            if (devices[i].use == IsXExtensionKeyboard && !name.contains("XTEST") &&
                name.contains("keyboard"))
                found = XOpenDevice(dpy, devices[i].id);
        }
        if (devices)
            XFreeDeviceList(devices);
        return found;
    }();
    if (!device)
        return false;
    XTestFakeDeviceKeyEvent(dpy, device, unsigned(keycode), down, nullptr, 0, CurrentTime);
    XSync(dpy, False);
    return true;
}

void bindKeycode(int keycode, const char *keysymName)
{
    KeySym syms[2] = {XStringToKeysym(keysymName), XStringToKeysym(keysymName)};
    act([&](Display *dpy) { XChangeKeyboardMapping(dpy, keycode, 2, syms, 1); });
}

bool capsLockOn()
{
    Display *dpy = display();
    XkbStateRec state{};
    return dpy && XkbGetState(dpy, XkbUseCoreKbd, &state) == Success &&
           (state.locked_mods & LockMask);
}

void tap(const char *keysymName)
{
    key(keycode(keysymName), true);
    key(keycode(keysymName), false);
}

void clickAt(const QPoint &at)
{
    moveTo(at.x(), at.y());
    click(1);
}

void clickOn(const QWidget *widget)
{
    clickAt(widget->mapToGlobal(widget->rect().center()));
}

void click(int number)
{
    button(number, true);
    button(number, false);
}

void button(int button, bool down)
{
    act([&](Display *dpy) { XTestFakeButtonEvent(dpy, unsigned(button), down, CurrentTime); });
}

void moveTo(int x, int y)
{
    act([&](Display *dpy) { XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime); });
}

QStringList property(unsigned long window, const char *name)
{
    // xprop says "NAME(TYPE) = a, b" (atoms by their names), or "NAME:  not found.".
    const QString said = QString::fromLatin1(TestSupport::runServing(
        u"xprop"_s, {u"-id"_s, QString::number(window), QString::fromLatin1(name)}));
    const qsizetype at = said.indexOf(" = "_L1);
    return at < 0 ? QStringList() : said.mid(at + 3).trimmed().split(u", "_s, Qt::SkipEmptyParts);
}

QPoint origin(unsigned long window)
{
    Display *dpy = display();
    int x = 0, y = 0;
    Window child = None;
    if (dpy)
        XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    return {x, y};
}

QString focusedClass()
{
    // xdotool names the focused window, or its first parent with a class.
    const QByteArray focus = TestSupport::runServing(u"xdotool"_s, {u"getwindowfocus"_s});
    // WM_CLASS is "instance", "class".
    return property(focus.trimmed().toULong(), "WM_CLASS").value(0).remove(u'"');
}

std::jthread hungClipboardOwner(const QByteArray &text)
{
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return {};
    const Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(dpy, XInternAtom(dpy, "CLIPBOARD", False), window, CurrentTime);
    XSync(dpy, False);
    // The connection is the thread's from here on.
    return std::jthread([dpy, window, text](std::stop_token stop) {
        const Atom targets = XInternAtom(dpy, "TARGETS", False);
        const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
        const Atom hung = XInternAtom(dpy, "application/x-hung", False);
        while (!stop.stop_requested()) {
            while (XPending(dpy)) {
                XEvent event;
                XNextEvent(dpy, &event);
                if (event.type != SelectionRequest)
                    continue;
                const XSelectionRequestEvent &request = event.xselectionrequest;
                XEvent reply{.xselection = {SelectionNotify, 0, True, dpy, request.requestor,
                                            request.selection, request.target, request.property,
                                            request.time}};
                if (request.target == targets) {
                    const long list[] = {long(targets), long(utf8), long(hung)};
                    XChangeProperty(dpy, request.requestor, request.property, XA_ATOM, 32,
                                    PropModeReplace, reinterpret_cast<const unsigned char *>(list),
                                    3);
                } else if (request.target == utf8) {
                    XChangeProperty(dpy, request.requestor, request.property, utf8, 8,
                                    PropModeReplace,
                                    reinterpret_cast<const unsigned char *>(text.constData()),
                                    int(text.size()));
                } else if (request.target == hung) {
                    continue; // never answers
                } else {
                    reply.xselection.property = None;
                }
                XSendEvent(dpy, request.requestor, False, NoEventMask, &reply);
                XFlush(dpy);
            }
            pollfd p{ConnectionNumber(dpy), POLLIN, 0};
            poll(&p, 1, 20);
        }
        XDestroyWindow(dpy, window);
        XCloseDisplay(dpy);
    });
}

} // namespace XTestInput
