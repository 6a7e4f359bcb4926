#pragma once

#include <QString>
#include <QStringList>
#include <memory>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_interface;

// A connection of this process's own to the Wayland compositor, apart from Qt's (the app may
// well run on xcb under XWayland), with the globals the insertion backends bind.
namespace Wayland {

struct Connection
{
    ~Connection();

    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_seat *seat = nullptr;
    // The globals offered, by name and version (0 when absent).
    quint32 virtualKeyboardName = 0;
    quint32 dataControlName = 0;
    quint32 dataControlVersion = 0;

    // Binds the global of that name; null when absent.
    void *bind(quint32 name, const wl_interface *interface, quint32 version) const;
    // Whether the compositor closed the connection or reported a protocol error.
    bool broken() const;
};

// Connects to the compositor named by WAYLAND_DISPLAY and lists its globals; null when there is
// no compositor to reach.
std::unique_ptr<Connection> connect();
// The process's one connection, shared by the probes and the backends: a compositor may take
// seconds to answer a new client (KWin does), so a run connects once. Made anew when broken or
// when WAYLAND_DISPLAY names another compositor; null when there is none to reach.
std::shared_ptr<Connection> shared();

// The focused window's application names as sway knows them (a Wayland client's app_id; an X11
// client's instance and class), asked over its IPC socket (SWAYSOCK); empty elsewhere.
QStringList swayFocusedWindowClass();

} // namespace Wayland
