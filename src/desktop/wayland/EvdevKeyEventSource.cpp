#include "desktop/wayland/EvdevKeyEventSource.h"

#include "records/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <utility>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

struct EvdevDeleter
{
    void operator()(libevdev *device) const { libevdev_free(device); }
};
using EvdevPtr = std::unique_ptr<libevdev, EvdevDeleter>;

// A keyboard has letters and a Control key; mice, power buttons and lid switches do not.
bool isKeyboard(const libevdev *device)
{
    return libevdev_has_event_code(device, EV_KEY, KEY_A) &&
           (libevdev_has_event_code(device, EV_KEY, KEY_RIGHTCTRL) ||
            libevdev_has_event_code(device, EV_KEY, KEY_LEFTCTRL));
}

QStringList eventNodes(const QString &directory)
{
    QStringList nodes;
    const QStringList names =
        QDir(directory).entryList({QStringLiteral("event*")}, QDir::System | QDir::Files);
    for (const QString &name : names)
        nodes << directory + u'/' + name;
    return nodes;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("EvdevKeyEventSource", text);
}

// Whether /etc/group lists the user in `input` although this process does not carry the group
// yet: added, but not logged in again since.
bool addedButNotLoggedIn()
{
    const group *input = getgrnam("input");
    const passwd *user = getpwuid(getuid());
    if (!input || !user)
        return false;
    bool listed = false;
    for (char **member = input->gr_mem; member && *member; ++member)
        listed = listed || std::strcmp(*member, user->pw_name) == 0;
    if (!listed)
        return false;
    gid_t groups[256];
    const int count = getgroups(256, groups);
    for (int i = 0; i < count; ++i) {
        if (groups[i] == input->gr_gid)
            return false;
    }
    return true;
}

} // namespace

EvdevKeyEventSource::EvdevKeyEventSource(QString directory) : m_directory(std::move(directory)) {}

EvdevKeyEventSource::EvdevKeyEventSource(const QList<int> &descriptors) : m_given(descriptors) {}

EvdevKeyEventSource::~EvdevKeyEventSource()
{
    *m_alive = false;
    m_watcher.reset();
    for (const auto &device : m_devices) {
        device->notifier.reset();
        ::close(device->fd);
    }
}

KeyTranslator::Role EvdevKeyEventSource::roleForCode(unsigned code)
{
    using Role = KeyTranslator::Role;
    switch (code) {
    case KEY_ESC:
        return Role::escape;
    case KEY_LEFTSHIFT:
        return Role::shiftLeft;
    case KEY_RIGHTSHIFT:
        return Role::shiftRight;
    case KEY_LEFTCTRL:
        return Role::controlLeft;
    case KEY_RIGHTCTRL:
        return Role::controlRight;
    case KEY_LEFTALT:
        return Role::altLeft;
    case KEY_RIGHTALT:
        return Role::altRight;
    case KEY_LEFTMETA:
        return Role::superLeft;
    case KEY_RIGHTMETA:
        return Role::superRight;
    case KEY_CAPSLOCK:
    case KEY_NUMLOCK:
    case KEY_SCROLLLOCK:
        return Role::ignored;
    default:
        return Role::none;
    }
}

EvdevKeyEventSource::Access EvdevKeyEventSource::check(const QString &directory)
{
    Access access;
    bool refused = false;
    for (const QString &node : eventNodes(directory)) {
        const int fd =
            ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            refused = refused || errno == EACCES || errno == EPERM;
            continue;
        }
        libevdev *raw = nullptr;
        if (libevdev_new_from_fd(fd, &raw) == 0) {
            const EvdevPtr device(raw);
            if (isKeyboard(device.get()))
                ++access.keyboards;
        }
        ::close(fd);
    }
    if (access.keyboards > 0)
        return access;
    if (refused && addedButNotLoggedIn())
        access.problem = tr("You are in the input group, but this session started before: log "
                            "out and back in.");
    else if (refused)
        access.problem = tr("Reading the keyboard needs the input group. Run: sudo usermod -aG "
                            "input $USER, then log out and back in.");
    else
        access.problem = tr("No keyboard found under %1.").arg(directory);
    return access;
}

bool EvdevKeyEventSource::install(Handler handler)
{
    m_handler = std::move(handler);
    for (int fd : std::exchange(m_given, {}))
        add(fd, QString(), QStringLiteral("descriptor %1").arg(fd));
    if (!m_directory.isEmpty()) {
        scan();
        // Keyboards come and go (a Bluetooth one after sleep, a USB one plugged in): new
        // nodes are read too. udev gives a node its group a moment after making it.
        m_watcher = std::make_unique<QFileSystemWatcher>(QStringList{m_directory});
        QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, m_watcher.get(),
                         [this] { QTimer::singleShot(500, m_watcher.get(), [this] { scan(); }); });
    }
    if (m_devices.empty()) {
        Log::write(QStringLiteral("no readable keyboard under ") + m_directory);
        return false;
    }
    return true;
}

void EvdevKeyEventSource::scan()
{
    for (const QString &node : eventNodes(m_directory)) {
        if (std::any_of(m_devices.begin(), m_devices.end(),
                        [&node](const auto &d) { return d->node == node; }))
            continue;
        const int fd =
            ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        libevdev *raw = nullptr;
        if (libevdev_new_from_fd(fd, &raw) != 0) {
            ::close(fd);
            continue;
        }
        const EvdevPtr device(raw);
        if (!isKeyboard(device.get())) {
            ::close(fd);
            continue;
        }
        add(fd, node, QString::fromUtf8(libevdev_get_name(device.get())));
        // Keys already down are released later; know they were down.
        for (unsigned code = 0; code <= KEY_MAX; ++code) {
            const KeyTranslator::Role role = roleForCode(code);
            if (role != KeyTranslator::Role::none &&
                libevdev_get_event_value(device.get(), EV_KEY, code))
                m_translator.setHeld(code, role);
        }
    }
}

void EvdevKeyEventSource::add(int fd, const QString &node, const QString &name)
{
    Log::write(QStringLiteral("reading keys from ") + name);
    auto device = std::make_unique<Device>();
    device->fd = fd;
    device->node = node;
    device->name = name;
    device->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    Device *raw = device.get();
    QObject::connect(device->notifier.get(), &QSocketNotifier::activated, device->notifier.get(),
                     [this, raw] { drain(raw); });
    m_devices.push_back(std::move(device));
}

void EvdevKeyEventSource::drain(Device *device)
{
    const std::shared_ptr<bool> alive = m_alive;
    char buffer[64 * sizeof(input_event)];
    const ssize_t got = ::read(device->fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        // Unplugged (ENODEV), or the end of a recording.
        drop(device);
        return;
    }
    device->pending.append(buffer, got);
    // A pipe may split a record; keep the rest for the next read.
    const qsizetype whole = device->pending.size() / qsizetype(sizeof(input_event));
    const QByteArray records = device->pending.left(whole * qsizetype(sizeof(input_event)));
    device->pending.remove(0, records.size());
    for (qsizetype i = 0; i < whole && *alive; ++i) {
        input_event event;
        std::memcpy(&event, records.constData() + i * qsizetype(sizeof(input_event)), sizeof event);
        // May destroy this source; the loop checks before touching it again.
        handle(device, event.type, event.code, event.value);
    }
}

void EvdevKeyEventSource::handle(Device *device, unsigned short type, unsigned short code,
                                 int value)
{
    if (type == EV_SYN && code == SYN_DROPPED) {
        // The kernel's buffer overflowed: what is held now is asked, not guessed.
        reseed(device);
        return;
    }
    if (type != EV_KEY || value == 2) // 2: auto-repeat
        return;
    std::optional<KeyEvent> event;
    if (code == BTN_LEFT || code == BTN_RIGHT)
        event = value ? KeyTranslator::buttonPress(code == BTN_LEFT ? 1 : 3) : std::nullopt;
    else if (value)
        event = m_translator.press(code, roleForCode(code));
    else
        event = m_translator.release(code);
    if (event && m_handler) {
        const Handler handler = m_handler;
        handler(*event);
    }
}

void EvdevKeyEventSource::reseed(Device *device)
{
    m_translator.clear();
    unsigned char bits[KEY_MAX / 8 + 1] = {};
    if (::ioctl(device->fd, EVIOCGKEY(sizeof bits), bits) < 0)
        return;
    for (unsigned code = 0; code <= KEY_MAX; ++code) {
        const KeyTranslator::Role role = roleForCode(code);
        if (role != KeyTranslator::Role::none && (bits[code / 8] & (1u << (code % 8))))
            m_translator.setHeld(code, role);
    }
}

void EvdevKeyEventSource::drop(Device *device)
{
    Log::write(QStringLiteral("stopped reading keys from ") + device->name);
    device->notifier->setEnabled(false);
    ::close(device->fd);
    device->fd = -1;
    const auto it = std::find_if(m_devices.begin(), m_devices.end(),
                                 [device](const auto &d) { return d.get() == device; });
    if (it != m_devices.end()) {
        // Not from inside its own notifier's signal: later.
        QSocketNotifier *notifier = (*it)->notifier.release();
        notifier->deleteLater();
        m_devices.erase(it);
    }
}
