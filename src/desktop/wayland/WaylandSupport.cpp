#include "desktop/wayland/WaylandSupport.h"

#include "records/Log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QScopeGuard>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
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

// The node that has the focus, depth first through tiled and floating nodes.
QJsonObject focusedNode(const QJsonObject &node)
{
    if (node.value(QLatin1String("focused")).toBool())
        return node;
    for (const char *children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue &child : node.value(QLatin1String(children)).toArray()) {
            const QJsonObject found = focusedNode(child.toObject());
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}

} // namespace

QStringList swayFocusedWindowClass()
{
    const QString path = qEnvironmentVariable("SWAYSOCK");
    if (path.isEmpty())
        return {};
    // A plain socket: the idle app maps no network library for this one question.
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof address.sun_path)
        return {};
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    const auto closeSocket = qScopeGuard([fd] { ::close(fd); });
    const timeval wait{0, 500000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return {};
    // The i3 IPC framing: magic, payload length, message type (4: the tree), payload.
    constexpr quint32 getTree = 4;
    QByteArray request("i3-ipc");
    const quint32 header[2] = {qToLittleEndian(quint32(0)), qToLittleEndian(getTree)};
    request.append(reinterpret_cast<const char *>(header), sizeof header);
    if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
        return {};
    QByteArray reply;
    constexpr qsizetype headerSize = 6 + 8;
    qsizetype expected = -1;
    while (expected < 0 || reply.size() < expected) {
        char buffer[16384];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        reply.append(buffer, n);
        if (expected < 0 && reply.size() >= headerSize) {
            quint32 length = 0;
            std::memcpy(&length, reply.constData() + 6, sizeof length);
            expected = headerSize + qsizetype(qFromLittleEndian(length));
        }
    }
    const QJsonObject node = focusedNode(QJsonDocument::fromJson(reply.mid(headerSize)).object());
    const QString appId = node.value(QLatin1String("app_id")).toString();
    if (!appId.isEmpty())
        return {appId};
    const QJsonObject properties = node.value(QLatin1String("window_properties")).toObject();
    QStringList names;
    for (const char *key : {"instance", "class"}) {
        const QString name = properties.value(QLatin1String(key)).toString();
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

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

std::shared_ptr<Connection> shared()
{
    static std::shared_ptr<Connection> kept;
    static QByteArray keptFor;
    const QByteArray name = qgetenv("WAYLAND_DISPLAY");
    if (kept && (kept->broken() || keptFor != name))
        kept.reset();
    if (!kept) {
        kept = connect();
        keptFor = name;
    }
    return kept;
}

} // namespace Wayland
