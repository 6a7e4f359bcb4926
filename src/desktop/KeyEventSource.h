#pragma once

#include "KeyEvent.h"

#include <functional>
#include <memory>

// Delivers keyboard and mouse events to the hotkey monitor on the main thread. A global source
// sees the whole desktop; a local one only this application's own windows.
class KeyEventSource
{
public:
    enum class Scope
    {
        global,
        local
    };
    using Handler = std::function<void(const KeyEvent &)>;

    virtual ~KeyEventSource() = default;
    // Starts delivering; false when the platform refuses. Destroying the source stops it, and no
    // event is delivered afterwards.
    virtual bool install(Handler handler) = 0;
};

// The platform's sources, chosen for the session this process runs in. On Wayland the global one
// may read the keyboard devices only when the user allowed it.
std::unique_ptr<KeyEventSource> createKeyEventSource(KeyEventSource::Scope scope,
                                                     bool readInputDevices = false);
