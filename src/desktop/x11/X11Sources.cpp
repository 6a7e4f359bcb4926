// The X11 backends behind the platform interfaces.
#include "DesktopSession.h"
#include "KeyPoster.h"
#include "Log.h"
#include "WaylandKeyPoster.h"
#include "LocalKeyEventSource.h"
#include "X11KeyEventSource.h"
#include "X11KeyPoster.h"

std::unique_ptr<KeyEventSource> createKeyEventSource(KeyEventSource::Scope scope)
{
    if (scope == KeyEventSource::Scope::global)
        return std::make_unique<X11KeyEventSource>();
    return std::make_unique<LocalKeyEventSource>();
}

std::unique_ptr<KeyPoster> createKeyPoster()
{
    if (DesktopSession::current().kind == DesktopSession::Kind::wayland) {
        if (auto poster = WaylandKeyPoster::open())
            return poster;
        // XWayland's XTEST still reaches the session's X11 windows.
        Log::write(QStringLiteral("typing reaches only X11 windows of this Wayland session"));
    }
    return X11KeyPoster::open();
}
