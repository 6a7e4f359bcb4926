#pragma once

#include <QPoint>
#include <optional>

class QWindow;

// Keeps a small always-visible window (the floating button) on every workspace, out of the
// task bar and the pager. Call it just before the window is shown, each time: a window manager
// forgets these wishes when the window is hidden.
class WindowPinning
{
public:
    virtual ~WindowPinning() = default;
    virtual void pinToAllWorkspaces(QWindow *window) = 0;
    // Where the display server has the window's top-left corner, asked now. Qt's own idea can
    // lag behind a window manager that reparents a new window into a frame and only then moves
    // the frame. Empty where the display cannot say.
    virtual std::optional<QPoint> serverPosition(QWindow *window) = 0;
};
