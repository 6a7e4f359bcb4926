#include "desktop/HotkeyKindInfo.h"

#include "desktop/KeyEvent.h"

#include <QCoreApplication>

namespace HotkeyKindInfo {

QList<HotkeyKind> all()
{
    return {HotkeyKind::control, HotkeyKind::controlFn, HotkeyKind::fn, HotkeyKind::rightCommand};
}

QString label(HotkeyKind kind)
{
    switch (kind) {
    case HotkeyKind::control:
        // The left key alone: the right one stands for fn here.
        return QCoreApplication::translate("HotkeyKind", "Control");
    case HotkeyKind::controlFn:
        return QCoreApplication::translate("HotkeyKind", "Control + Right Ctrl");
    case HotkeyKind::fn:
        return QCoreApplication::translate("HotkeyKind", "Right Ctrl");
    case HotkeyKind::rightCommand:
        return QCoreApplication::translate("HotkeyKind", "Right Super");
    }
    return QString();
}

QString inText(HotkeyKind kind)
{
    // The same keys, written as running text writes them (Russian and Uzbek in lower case).
    switch (kind) {
    case HotkeyKind::control:
        return QCoreApplication::translate("HotkeyKindInText", "Control");
    case HotkeyKind::controlFn:
        return QCoreApplication::translate("HotkeyKindInText", "Control + Right Ctrl");
    case HotkeyKind::fn:
        return QCoreApplication::translate("HotkeyKindInText", "Right Ctrl");
    case HotkeyKind::rightCommand:
        return QCoreApplication::translate("HotkeyKindInText", "Right Super");
    }
    return QString();
}

bool isHeld(HotkeyKind kind, quint64 flags)
{
    using namespace ModifierFlag;
    quint64 required = 0;
    quint64 excluded = 0;
    switch (kind) {
    case HotkeyKind::control:
        required = control;
        excluded = shift | option | command;
        break;
    case HotkeyKind::controlFn:
        required = control | function;
        excluded = shift | option | command;
        break;
    case HotkeyKind::fn:
        required = function;
        excluded = shift | control | option | command;
        break;
    case HotkeyKind::rightCommand:
        required = command;
        excluded = shift | control | option;
        break;
    }
    return (flags & required) == required && (flags & excluded) == 0;
}

} // namespace HotkeyKindInfo
