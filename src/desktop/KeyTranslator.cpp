#include "desktop/KeyTranslator.h"

namespace {

quint64 flagFor(KeyTranslator::Role role)
{
    using R = KeyTranslator::Role;
    switch (role) {
    case R::shiftLeft:
    case R::shiftRight:
        return ModifierFlag::shift;
    case R::controlLeft:
        return ModifierFlag::control;
    case R::controlRight:
        return ModifierFlag::function;
    case R::altLeft:
    case R::altRight:
        return ModifierFlag::option;
    case R::superLeft:
    case R::superRight:
        return ModifierFlag::command;
    case R::none:
    case R::escape:
    case R::ignored:
        break;
    }
    return 0;
}

int keyCodeFor(KeyTranslator::Role role)
{
    using R = KeyTranslator::Role;
    switch (role) {
    case R::escape:
        return VirtualKey::escape;
    case R::shiftLeft:
        return VirtualKey::leftShift;
    case R::shiftRight:
        return VirtualKey::rightShift;
    case R::controlLeft:
        return VirtualKey::leftControl;
    case R::controlRight:
        return VirtualKey::function;
    case R::altLeft:
        return VirtualKey::leftOption;
    case R::altRight:
        return VirtualKey::rightOption;
    case R::superLeft:
        return VirtualKey::leftCommand;
    case R::superRight:
        return VirtualKey::rightCommand;
    case R::none:
    case R::ignored:
        break;
    }
    return VirtualKey::other;
}

} // namespace

KeyTranslator::Role KeyTranslator::roleForKeysym(quint32 keysym)
{
    switch (keysym) {
    case 0xff1b: // Escape
        return Role::escape;
    case 0xffe1: // Shift_L
        return Role::shiftLeft;
    case 0xffe2: // Shift_R
        return Role::shiftRight;
    case 0xffe3: // Control_L
        return Role::controlLeft;
    case 0xffe4: // Control_R
        return Role::controlRight;
    case 0xffe7: // Meta_L
    case 0xffe9: // Alt_L
        return Role::altLeft;
    case 0xffe8: // Meta_R
    case 0xffea: // Alt_R
    case 0xfe03: // ISO_Level3_Shift (AltGr)
        return Role::altRight;
    case 0xffeb: // Super_L
        return Role::superLeft;
    case 0xffec: // Super_R
        return Role::superRight;
    case 0xffe5: // Caps_Lock
    case 0xffe6: // Shift_Lock
    case 0xff7f: // Num_Lock
    case 0xff14: // Scroll_Lock
    case 0xff7e: // Mode_switch
        return Role::ignored;
    default:
        // ISO_Lock up to ISO_Last_Group_Lock and the level-five keys: latches, locks and
        // layout switches.
        if ((keysym >= 0xfe01 && keysym <= 0xfe0f && keysym != 0xfe03) ||
            (keysym >= 0xfe11 && keysym <= 0xfe13))
            return Role::ignored;
        return Role::none;
    }
}

std::optional<KeyEvent> KeyTranslator::press(quint32 keyId, Role role)
{
    if (role == Role::ignored)
        return std::nullopt;
    if (!isModifier(role))
        return KeyEvent{KeyEvent::Type::keyDown, flags(), keyCodeFor(role)};
    // A modifier reports a change once per press, however long it is held.
    if (m_held.contains(keyId))
        return std::nullopt;
    m_held.insert(keyId, role);
    return KeyEvent{KeyEvent::Type::flagsChanged, flags(), keyCodeFor(role)};
}

std::optional<KeyEvent> KeyTranslator::release(quint32 keyId)
{
    // The role of the press decides, even when the keyboard map changed in between.
    const auto it = m_held.constFind(keyId);
    if (it == m_held.constEnd())
        return std::nullopt;
    const Role role = it.value();
    m_held.erase(it);
    return KeyEvent{KeyEvent::Type::flagsChanged, flags(), keyCodeFor(role)};
}

std::optional<KeyEvent> KeyTranslator::buttonPress(int button)
{
    if (button == 1)
        return KeyEvent{KeyEvent::Type::leftMouseDown, 0, VirtualKey::other};
    if (button == 3)
        return KeyEvent{KeyEvent::Type::rightMouseDown, 0, VirtualKey::other};
    return std::nullopt;
}

void KeyTranslator::setHeld(quint32 keyId, Role role)
{
    if (isModifier(role))
        m_held.insert(keyId, role);
}

quint64 KeyTranslator::flags() const
{
    quint64 result = 0;
    for (Role role : m_held)
        result |= flagFor(role);
    return result;
}
