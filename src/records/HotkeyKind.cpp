#include "records/HotkeyKind.h"

QString rawValue(HotkeyKind kind)
{
    switch (kind) {
    case HotkeyKind::control:
        return QStringLiteral("control");
    case HotkeyKind::controlFn:
        return QStringLiteral("controlFn");
    case HotkeyKind::fn:
        return QStringLiteral("fn");
    case HotkeyKind::rightCommand:
        return QStringLiteral("rightCommand");
    }
    return QStringLiteral("fn");
}

std::optional<HotkeyKind> hotkeyKindFromRaw(const QString &raw)
{
    for (HotkeyKind k :
         {HotkeyKind::control, HotkeyKind::controlFn, HotkeyKind::fn, HotkeyKind::rightCommand}) {
        if (rawValue(k) == raw)
            return k;
    }
    return std::nullopt;
}
