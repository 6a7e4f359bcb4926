#include "XTestInput.h"

#include <X11/Xlib.h>
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

} // namespace

int keycode(const char *keysymName)
{
    return display() ? XKeysymToKeycode(display(), XStringToKeysym(keysymName)) : 0;
}

bool keysymOnKeyboard(const char *keysymName)
{
    Display *dpy = display();
    if (!dpy)
        return false;
    const KeySym wanted = XStringToKeysym(keysymName);
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(dpy, &minKeycode, &maxKeycode);
    KeySym *map = XGetKeyboardMapping(dpy, static_cast<unsigned char>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    bool found = false;
    for (int i = 0; map && i < (maxKeycode - minKeycode + 1) * perKeycode && !found; ++i)
        found = map[i] == wanted;
    if (map)
        XFree(map);
    return found;
}

void key(int keycode, bool down)
{
    if (!display())
        return;
    XTestFakeKeyEvent(display(), unsigned(keycode), down ? True : False, CurrentTime);
    XSync(display(), False);
}

void click(int button)
{
    if (!display())
        return;
    XTestFakeButtonEvent(display(), unsigned(button), True, CurrentTime);
    XTestFakeButtonEvent(display(), unsigned(button), False, CurrentTime);
    XSync(display(), False);
}

void button(int button, bool down)
{
    if (!display())
        return;
    XTestFakeButtonEvent(display(), unsigned(button), down ? True : False, CurrentTime);
    XSync(display(), False);
}

void moveTo(int x, int y)
{
    if (!display())
        return;
    XTestFakeMotionEvent(display(), -1, x, y, CurrentTime);
    XSync(display(), False);
}

QStringList property(unsigned long window, const char *name)
{
    Display *dpy = display();
    QStringList items;
    if (!dpy)
        return items;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(dpy, window, XInternAtom(dpy, name, False), 0, 256, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) != Success ||
        !data)
        return items;
    if (format == 32) {
        const auto *values = reinterpret_cast<const unsigned long *>(data);
        for (unsigned long i = 0; i < count; ++i) {
            if (type == XA_ATOM) {
                char *atomName = XGetAtomName(dpy, values[i]);
                items.append(QString::fromLatin1(atomName));
                XFree(atomName);
            } else {
                items.append(QString::number(quint32(values[i])));
            }
        }
    }
    XFree(data);
    return items;
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
    Display *dpy = display();
    if (!dpy)
        return QString();
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    while (focus != None && focus != PointerRoot) {
        XClassHint hint{};
        if (XGetClassHint(dpy, focus, &hint)) {
            const QString name = QString::fromLocal8Bit(hint.res_name);
            XFree(hint.res_name);
            XFree(hint.res_class);
            return name;
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
    return QString();
}

} // namespace XTestInput
