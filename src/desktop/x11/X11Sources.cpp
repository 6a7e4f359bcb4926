// The X11 backends behind the platform interfaces.
#include "HoldKeyPath.h"
#include "KeyPoster.h"
#include "LocalKeyEventSource.h"
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
    return X11KeyPoster::open();
}
