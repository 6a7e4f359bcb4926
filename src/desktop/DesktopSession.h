#pragma once

#include <QProcessEnvironment>
#include <QString>

// Which display server and desktop this process runs under, read from the environment, from
// which the platform loader chooses the backends (key events, key posting, clipboard, window
// pinning, trust). VESK_SESSION=x11|wayland overrides the guess, for tests and for users whose
// environment says the wrong thing.
namespace DesktopSession {

enum class Kind
{
    none,
    x11,
    wayland
};

enum class Desktop
{
    other,
    sway,
    hyprland,
    kde,
    gnome
};

struct Info
{
    Kind kind = Kind::none;
    Desktop desktop = Desktop::other;
    // The desktop's own name as the environment gives it (XDG_CURRENT_DESKTOP), for logs.
    QString desktopName;
};

Info detect(const QProcessEnvironment &environment);
// This process's session, detected once.
const Info &current();

QString kindName(Kind kind);

} // namespace DesktopSession
