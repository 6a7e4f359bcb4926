#include "XTestInput.h"

#include <X11/Xlib.h>
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
