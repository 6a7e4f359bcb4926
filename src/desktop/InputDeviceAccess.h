#pragma once

#include <QString>

// Whether the keyboard devices can be read, and what to do when not.
struct InputDeviceAccess
{
    int keyboards = 0;
    // Set when no keyboard can be read; translated, for the user.
    QString problem;
};
