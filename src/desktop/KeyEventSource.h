#pragma once

#include "desktop/KeyEvent.h"

#include <QString>
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
    // Why install() refused, for the log, where the source knows better than "refused".
    virtual QString problem() const { return QString(); }
};
