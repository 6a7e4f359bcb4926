#include "desktop/DesktopSession.h"

#include <QStringList>

namespace DesktopSession {

namespace {

Desktop desktopFrom(const QProcessEnvironment &environment)
{
    // XDG_CURRENT_DESKTOP is a colon-separated list, most specific first ("KDE",
    // "GNOME:GNOME-Classic", "sway:wlroots").
    const QStringList names =
        environment.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(u':', Qt::SkipEmptyParts);
    for (const QString &name : names) {
        if (name.compare(QLatin1String("sway"), Qt::CaseInsensitive) == 0)
            return Desktop::sway;
        if (name.compare(QLatin1String("Hyprland"), Qt::CaseInsensitive) == 0)
            return Desktop::hyprland;
        if (name.compare(QLatin1String("KDE"), Qt::CaseInsensitive) == 0)
            return Desktop::kde;
        if (name.compare(QLatin1String("GNOME"), Qt::CaseInsensitive) == 0 ||
            name.startsWith(QLatin1String("GNOME-"), Qt::CaseInsensitive))
            return Desktop::gnome;
    }
    // Started outside a login session (a terminal in sway does not always carry the variable).
    if (environment.contains(QStringLiteral("SWAYSOCK")))
        return Desktop::sway;
    if (environment.contains(QStringLiteral("HYPRLAND_INSTANCE_SIGNATURE")))
        return Desktop::hyprland;
    return Desktop::other;
}

} // namespace

Info detect(const QProcessEnvironment &environment)
{
    Info info;
    info.desktop = desktopFrom(environment);
    info.desktopName = environment.value(QStringLiteral("XDG_CURRENT_DESKTOP"));
    const QString forced = environment.value(QStringLiteral("VESK_SESSION")).toLower();
    if (forced == QLatin1String("x11")) {
        info.kind = Kind::x11;
        return info;
    }
    if (forced == QLatin1String("wayland")) {
        info.kind = Kind::wayland;
        return info;
    }
    // A Wayland session usually also sets DISPLAY (XWayland), which reaches only X11 windows:
    // Wayland comes first.
    if (!environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
        environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland"))
        info.kind = Kind::wayland;
    else if (!environment.value(QStringLiteral("DISPLAY")).isEmpty())
        info.kind = Kind::x11;
    return info;
}

const Info &current()
{
    static const Info info = detect(QProcessEnvironment::systemEnvironment());
    return info;
}

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::x11:
        return QStringLiteral("x11");
    case Kind::wayland:
        return QStringLiteral("wayland");
    case Kind::none:
        break;
    }
    return QStringLiteral("none");
}

} // namespace DesktopSession
