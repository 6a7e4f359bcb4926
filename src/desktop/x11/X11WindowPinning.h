#pragma once

#include "desktop/WindowPinning.h"

// The window manager's EWMH hints, on Qt's own X11 connection (Qt must run on xcb).
class X11WindowPinning : public WindowPinning
{
public:
    void pinToAllWorkspaces(QWindow *window) override;
    std::optional<QPoint> serverPosition(QWindow *window) override;
};
