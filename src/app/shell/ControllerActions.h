#pragma once

#include "app/controller/AppDelegate.h"

#include <QPointer>
#include <functional>

// An action that reaches the controller while it lives and does nothing once it is gone, for
// the views' and the hotkey's callbacks.
template <typename Call> std::function<void()> whileAlive(AppDelegate *controller, Call call)
{
    QPointer<AppDelegate> weak(controller);
    return [weak, call] {
        if (weak)
            std::invoke(call, weak.data());
    };
}
