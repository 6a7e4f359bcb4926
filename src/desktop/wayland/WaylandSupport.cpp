#include "WaylandSupport.h"

#include "Log.h"

#include <cstring>
#include <wayland-client.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace Wayland {

namespace {

void global(void *data, wl_registry *registry, uint32_t name, const char *interface,
            uint32_t version)
{
    auto *connection = static_cast<Connection *>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !connection->seat) {
        // The first seat: a desktop with several is rare, and keys go to the default one.
        connection->seat =
            static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        connection->virtualKeyboardName = name;
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        connection->dataControlName = name;
        connection->dataControlVersion = version;
    }
}

void globalRemove(void *, wl_registry *, uint32_t) {}

const wl_registry_listener registryListener = {global, globalRemove};

} // namespace

Connection::~Connection()
{
    if (seat)
        wl_seat_destroy(seat);
    if (registry)
        wl_registry_destroy(registry);
    if (display)
        wl_display_disconnect(display);
}

void *Connection::bind(quint32 name, const wl_interface *interface, quint32 version) const
{
    if (!name)
        return nullptr;
    return wl_registry_bind(registry, name, interface, version);
}

bool Connection::broken() const
{
    return wl_display_get_error(display) != 0;
}

std::unique_ptr<Connection> connect()
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        Log::write(QStringLiteral("cannot connect to the Wayland compositor"));
        return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->display = display;
    connection->registry = wl_display_get_registry(display);
    wl_registry_add_listener(connection->registry, &registryListener, connection.get());
    if (wl_display_roundtrip(display) < 0)
        return nullptr;
    return connection;
}

} // namespace Wayland
