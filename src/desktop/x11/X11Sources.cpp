// The platform backends behind the interfaces, chosen by the session at run time.
#include "ActiveWindow.h"
#include "DesktopSession.h"
#include "HoldKeyPath.h"
#include "KeyPoster.h"
#include "Log.h"
#include "PortalKeyPoster.h"
#include "WaylandKeyPoster.h"
#include "WaylandSupport.h"
#include "LocalKeyEventSource.h"
#include "X11ActiveWindow.h"
#include "X11KeyEventSource.h"
#include "X11KeyPoster.h"

std::unique_ptr<KeyEventSource> createKeyEventSource(KeyEventSource::Scope scope,
                                                     bool readInputDevices)
{
    if (scope == KeyEventSource::Scope::global) {
        const HoldKeyPath::Path path = HoldKeyPath::current(readInputDevices);
        if (path == HoldKeyPath::Path::x11)
            return std::make_unique<X11KeyEventSource>();
        return HoldKeyPath::createSource(path);
    }
    return std::make_unique<LocalKeyEventSource>();
}

std::unique_ptr<KeyPoster> createKeyPoster()
{
    if (DesktopSession::current().kind == DesktopSession::Kind::wayland) {
        if (auto poster = WaylandKeyPoster::open())
            return poster;
        // KDE and GNOME: the desktop's remote-control portal, asked for its permission now so
        // that the first dictation need not wait for the user's answer.
        if (PortalKeyPoster::isOffered(QDBusConnection::sessionBus())) {
            const std::unique_ptr<Wayland::Connection> connection = Wayland::connect();
            auto poster = std::make_unique<PortalKeyPoster>(
                QDBusConnection::sessionBus(), connection && connection->dataControlName != 0);
            poster->open();
            return poster;
        }
        // XWayland's XTEST still reaches the session's X11 windows.
        Log::write(QStringLiteral("typing reaches only X11 windows of this Wayland session"));
    }
    return X11KeyPoster::open();
}

std::unique_ptr<ActiveWindow> createActiveWindow()
{
    // XWayland's window manager knows only the session's X11 windows, and this program's own
    // window is a Wayland one there.
    if (DesktopSession::current().kind == DesktopSession::Kind::wayland)
        return nullptr;
    return X11ActiveWindow::open();
}
