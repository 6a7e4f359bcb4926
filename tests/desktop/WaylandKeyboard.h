#pragma once

#include "desktop/wayland/WaylandSupport.h"

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

// A physical keyboard as a Wayland compositor sees one, for the tests: the US layout, keys by
// their evdev codes, the modifiers reported as that keymap makes them. Connects to the compositor
// named by WAYLAND_DISPLAY.
class WaylandKeyboard
{
public:
    WaylandKeyboard() = default;
    WaylandKeyboard(const WaylandKeyboard &) = delete;
    WaylandKeyboard &operator=(const WaylandKeyboard &) = delete;

    ~WaylandKeyboard()
    {
        xkb_state_unref(m_state);
        xkb_keymap_unref(m_keymap);
        if (m_keyboard)
            zwp_virtual_keyboard_v1_destroy(m_keyboard);
        if (m_manager)
            zwp_virtual_keyboard_manager_v1_destroy(m_manager);
    }

    bool open()
    {
        m_connection = Wayland::connect();
        if (!m_connection || !m_connection->seat)
            return false;
        m_manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(m_connection->bind(
            m_connection->virtualKeyboardName, &zwp_virtual_keyboard_manager_v1_interface, 1));
        if (!m_manager)
            return false;
        m_keyboard =
            zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_connection->seat);
        xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
        m_keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        xkb_context_unref(context);
        if (!m_keymap)
            return false;
        m_state = xkb_state_new(m_keymap);
        char *text = xkb_keymap_get_as_string(m_keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        const size_t size = strlen(text) + 1;
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        const bool written = write(fd, text, size) == ssize_t(size);
        free(text);
        zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       uint32_t(size));
        close(fd);
        return written && wl_display_roundtrip(m_connection->display) >= 0;
    }

    // The key changes, then the modifiers as that keymap makes them, as a real keyboard reports.
    void key(int evdev, bool down)
    {
        zwp_virtual_keyboard_v1_key(m_keyboard, m_time += 10, uint32_t(evdev),
                                    down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                         : WL_KEYBOARD_KEY_STATE_RELEASED);
        xkb_state_update_key(m_state, xkb_keycode_t(evdev + 8), down ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(
            m_keyboard, xkb_state_serialize_mods(m_state, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_EFFECTIVE));
        wl_display_roundtrip(m_connection->display);
    }

private:
    std::unique_ptr<Wayland::Connection> m_connection;
    zwp_virtual_keyboard_manager_v1 *m_manager = nullptr;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    xkb_keymap *m_keymap = nullptr;
    xkb_state *m_state = nullptr;
    uint32_t m_time = 0;
};
