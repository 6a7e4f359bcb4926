// The X11 backends behind the platform interfaces.
#include "KeyPoster.h"
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
    return X11KeyPoster::open();
}
