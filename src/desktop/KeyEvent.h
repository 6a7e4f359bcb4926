#pragma once

#include <QtGlobal>

// One keyboard or mouse event in the hotkey monitor's own vocabulary: the modifier-flag values
// and key codes of the original desktop, into which each platform layer translates.
struct KeyEvent
{
    enum class Type
    {
        leftMouseDown = 1,
        rightMouseDown = 3,
        keyDown = 10,
        flagsChanged = 12,
        // The hold key itself, from a desktop that names no keys but reports one shortcut's
        // press and release (a shortcuts portal).
        holdKeyDown = 20,
        holdKeyUp = 21
    };

    Type type = Type::flagsChanged;
    // The modifier flags after the event (for flag changes).
    quint64 flags = 0;
    // The key that changed or went down; VirtualKey::other for keys the monitor has no name for.
    int keyCode = -1;
};

namespace ModifierFlag {
inline constexpr quint64 shift = 0x20000;
inline constexpr quint64 control = 0x40000;
inline constexpr quint64 option = 0x80000;
inline constexpr quint64 command = 0x100000;
inline constexpr quint64 function = 0x800000;
} // namespace ModifierFlag

namespace VirtualKey {
inline constexpr int other = -1;
inline constexpr int returnKey = 36;
inline constexpr int escape = 53;
inline constexpr int rightCommand = 54;
inline constexpr int leftCommand = 55;
inline constexpr int leftShift = 56;
inline constexpr int leftOption = 58;
inline constexpr int leftControl = 59;
inline constexpr int rightShift = 60;
inline constexpr int rightOption = 61;
// A PC keyboard's right Control key, which stands for fn.
inline constexpr int function = 63;
} // namespace VirtualKey
