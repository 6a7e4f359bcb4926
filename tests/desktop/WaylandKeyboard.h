#pragma once

#include <cstdint>
#include <memory>

struct xkb_keymap;
struct xkb_state;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;
namespace Wayland {
struct Connection;
}

// A physical keyboard as a Wayland compositor sees one, for the tests: the US layout, keys by
// their evdev codes, the modifiers reported as that keymap makes them. Connects to the compositor
// named by WAYLAND_DISPLAY.
class WaylandKeyboard
{
public:
    WaylandKeyboard();
    ~WaylandKeyboard();
    WaylandKeyboard(const WaylandKeyboard &) = delete;
    WaylandKeyboard &operator=(const WaylandKeyboard &) = delete;

    bool open();
    void key(int evdev, bool down);

private:
    std::unique_ptr<Wayland::Connection> m_connection;
    zwp_virtual_keyboard_manager_v1 *m_manager = nullptr;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    xkb_keymap *m_keymap = nullptr;
    xkb_state *m_state = nullptr;
    uint32_t m_time = 0;
};
