#include "desktop/x11/X11FocusedWindow.h"

#include "desktop/x11/X11Support.h"

#include <algorithm>
#include "desktop/x11/X11Holders.h"

namespace X11::FocusedWindow {

bool walkUp(Display *display, const std::function<bool(unsigned long)> &visit)
{
    const ErrorTrap trap(display);
    Window at = None;
    int revert = 0;
    XGetInputFocus(display, &at, &revert);
    while (at != None && at != PointerRoot) {
        if (visit(at))
            return true;
        Window root = None, parent = None, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, at, &root, &parent, &children, &count))
            return false;
        const Held<Window> heldChildren(children);
        if (parent == root)
            return false;
        at = parent;
    }
    return false;
}

QStringList windowClass(Display *display)
{
    QStringList names;
    walkUp(display, [&](unsigned long window) {
        const ClassHint hint(display, window);
        if (!hint)
            return false;
        names = {QString::fromLocal8Bit(hint.name()), QString::fromLocal8Bit(hint.className())};
        return true;
    });
    return names;
}

Protocols protocols(Display *display, unsigned long protocol)
{
    Protocols found;
    walkUp(display, [&](unsigned long window) {
        Atom *atoms = nullptr;
        int count = 0;
        if (!XGetWMProtocols(display, window, &atoms, &count))
            return false;
        const Held<Atom> held(atoms);
        found = {window, std::find(atoms, atoms + count, Atom(protocol)) != atoms + count};
        return true;
    });
    return found;
}

} // namespace X11::FocusedWindow
