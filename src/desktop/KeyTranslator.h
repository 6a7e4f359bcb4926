#pragma once

#include "desktop/KeyEvent.h"

#include <QHash>
#include <optional>

// Turns key presses and releases, named by keysym, into flag changes and key downs, keeping the
// set of modifier keys held. The keysym of level one decides, so any keyboard layout works: the
// modifiers and Escape are the same in all of them.
class KeyTranslator
{
public:
    enum class Role
    {
        none,
        escape,
        // Lock and group keys (Caps Lock, Num Lock, a layout switch): they change no flag the
        // hotkey looks at, so they are no key press either.
        ignored,
        shiftLeft,
        shiftRight,
        controlLeft,
        controlRight,
        altLeft,
        altRight,
        superLeft,
        superRight
    };

    static Role roleForKeysym(quint32 keysym);
    static bool isModifier(Role role)
    {
        return role != Role::none && role != Role::escape && role != Role::ignored;
    }

    // keyId is the platform's key code; it pairs a release with its press.
    std::optional<KeyEvent> press(quint32 keyId, Role role);
    std::optional<KeyEvent> release(quint32 keyId);
    // X11 button numbers: 1 is the left button, 3 the right one; others (wheel, middle) are none.
    static std::optional<KeyEvent> buttonPress(int button);

    // Keys already down when watching begins.
    void setHeld(quint32 keyId, Role role);
    void clear() { m_held.clear(); }
    quint64 flags() const;

private:
    QHash<quint32, Role> m_held;
};
