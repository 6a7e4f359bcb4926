#include "app/control/ControlChannel.h"

#include "records/DataFiles.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace ControlChannel {

namespace {

const QByteArray magic = QByteArrayLiteral("vesk-voice");

// A file descriptor closed on every path out.
struct Fd
{
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

QString systemError(int error = errno)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The session's runtime folder when it is what it should be, this user's and closed to others;
// a shared one (some set it to /tmp) would let anybody take the name.
std::optional<QString> runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    struct stat info
    {};
    if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime) ||
        ::stat(QFile::encodeName(runtime).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 077) != 0)
        return std::nullopt;
    return QDir::cleanPath(runtime);
}

// Symbolic links and relative paths name the same folder the same way when it exists.
QString canonicalFolder(const QString &folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// The address of a socket path. sun_path holds 107 bytes; a longer path (a deep data folder) is
// reached through a descriptor of its folder, as "/proc/self/fd/N/<name>", which the kernel
// follows like the path itself. `folder` holds that descriptor while the address is in use.
std::optional<sockaddr_un> addressOf(const QString &path, Fd &folder, int *error)
{
    QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof(address.sun_path)) {
        const QFileInfo info(path);
        folder.fd =
            ::open(QFile::encodeName(info.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder.fd < 0) {
            *error = errno;
            return std::nullopt;
        }
        name = "/proc/self/fd/" + QByteArray::number(folder.fd) + '/' +
               QFile::encodeName(info.fileName());
        if (size_t(name.size()) >= sizeof(address.sun_path)) {
            *error = ENAMETOOLONG;
            return std::nullopt;
        }
    }
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return address;
}

bool validCommand(const QString &command)
{
    if (command.isEmpty())
        return false;
    for (QChar c : command) {
        if (!(c.isLower() && c.unicode() < 128) && c != QLatin1Char('-'))
            return false;
    }
    return true;
}

} // namespace

QString socketFolder(const QString &dataFolder)
{
    if (const auto runtime = runtimeFolder())
        return *runtime + QStringLiteral("/vesk-voice");
    // Nobody else can make anything inside the data folder, so nobody can take this name first.
    return canonicalFolder(dataFolder) + QStringLiteral("/run");
}

QString socketPath(const QString &dataFolder)
{
    if (!runtimeFolder())
        return socketFolder(dataFolder) + QStringLiteral("/control");
    // The runtime folder is shared by every data folder of the user.
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(canonicalFolder(dataFolder)),
                                                     QCryptographicHash::Sha256)
                                .toHex();
    return socketFolder(dataFolder) + QStringLiteral("/control-") +
           QString::fromLatin1(hash.left(20));
}

std::optional<QString> prepareFolder(const QString &folder, bool create)
{
    const QByteArray path = QFile::encodeName(folder);
    if (create && ::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create %1: %2").arg(folder, systemError());
    struct stat info
    {};
    if (::lstat(path.constData(), &info) != 0)
        return QStringLiteral("%1: %2").arg(folder, systemError());
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return QStringLiteral("%1 is not a folder of this user").arg(folder);
    if ((info.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return QStringLiteral("%1 is open to other users").arg(folder);
    return std::nullopt;
}

QByteArray request(const QString &command)
{
    return magic + ' ' + QByteArray::number(protocolVersion) + ' ' + command.toUtf8() + '\n';
}

Parsed parseRequest(const QByteArray &line)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() < 3 || words[0] != magic)
        return {{}, QStringLiteral("not a request")};
    bool ok = false;
    const int version = words[1].toInt(&ok);
    if (!ok || version < 1)
        return {{}, QStringLiteral("not a request")};
    // Later versions only add words after the command; this one reads the command alone.
    const QString command = QString::fromUtf8(words[2]);
    if (!validCommand(command))
        return {{}, QStringLiteral("not a command")};
    return {command, {}};
}

Reply send(const QString &socketPath, const QString &command, int timeoutMs)
{
    Fd folder;
    int error = 0;
    const std::optional<sockaddr_un> address = addressOf(socketPath, folder, &error);
    Fd socket{address ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1};
    const QDeadlineTimer deadline(timeoutMs);
    if (address && socket.fd < 0) {
        error = errno;
    } else if (address) {
        // A full backlog (the app has not yet taken the connections before this one) answers
        // EAGAIN: the connection is tried again until the time-out.
        while (::connect(socket.fd, reinterpret_cast<const sockaddr *>(&*address),
                         sizeof(*address)) != 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN || deadline.hasExpired()) {
                error = errno;
                break;
            }
            ::usleep(10 * 1000);
        }
    }
    // A missing socket (or folder), or one left by an app that is gone.
    if (error == ENOENT || error == ECONNREFUSED)
        return {Reply::Status::noServer, {}};
    if (error != 0)
        return {Reply::Status::failed, systemError(error)};

    auto wait = [&](short events) {
        pollfd p{socket.fd, events, 0};
        int ready = 0;
        do
            ready = ::poll(&p, 1, int(deadline.remainingTime()));
        while (ready < 0 && errno == EINTR);
        return ready > 0;
    };

    const QByteArray line = request(command);
    qsizetype sent = 0;
    while (sent < line.size()) {
        if (!wait(POLLOUT))
            return {Reply::Status::failed, QStringLiteral("the app did not take the request")};
        const ssize_t n =
            ::send(socket.fd, line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return {Reply::Status::failed, systemError()};
        if (n > 0)
            sent += n;
    }

    QByteArray reply;
    while (!reply.contains('\n')) {
        if (reply.size() > maxLineLength || !wait(POLLIN))
            return {Reply::Status::failed, QStringLiteral("the app did not answer")};
        char buffer[128];
        const ssize_t n = ::recv(socket.fd, buffer, sizeof(buffer), 0);
        if (n == 0)
            return {Reply::Status::failed, QStringLiteral("the app closed the connection")};
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return {Reply::Status::failed, systemError()};
        if (n > 0)
            reply.append(buffer, n);
    }
    reply.truncate(reply.indexOf('\n'));
    if (reply == "ok")
        return {Reply::Status::answered, {}};
    if (reply.startsWith("error "))
        return {Reply::Status::refused, QString::fromUtf8(reply.mid(6))};
    return {Reply::Status::failed, QStringLiteral("the app's answer was not understood")};
}

} // namespace ControlChannel

InstanceLock::InstanceLock(QString path) : m_path(std::move(path)) {}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InstanceLock::tryLock(QString *problem)
{
    if (m_fd >= 0)
        return true;
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_fd = fd;
        return true;
    }
    // Held by another copy, or a file system without locks: only the first is worth a wait.
    if (problem && !(fd >= 0 && errno == EWOULDBLOCK))
        *problem = QStringLiteral("cannot lock %1: %2").arg(m_path, ControlChannel::systemError());
    if (fd >= 0)
        ::close(fd);
    return false;
}

// One connection: it waits for its own request line only, and is let go after the time-out.
class ControlServer::Client : public QObject
{
public:
    Client(int fd, QObject *parent) : QObject(parent), fd(fd), notifier(fd, QSocketNotifier::Read)
    {
        QTimer::singleShot(ControlChannel::timeoutMs, this, [this] { deleteLater(); });
    }
    ~Client() override
    {
        notifier.setEnabled(false);
        ::close(fd);
    }

    const int fd;
    QSocketNotifier notifier;
    QByteArray received;
};

ControlServer::ControlServer(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{}

ControlServer::~ControlServer()
{
    close();
    qDeleteAll(std::exchange(m_clients, {}));
}

bool ControlServer::listen(const QString &path, QString *error)
{
    using ControlChannel::Fd;
    close();
    Fd folder;
    int failure = 0;
    const std::optional<sockaddr_un> address = ControlChannel::addressOf(path, folder, &failure);
    Fd socket{address ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1};
    if (address && socket.fd >= 0) {
        // The previous holder of the lock is gone; its socket file may not be.
        ::unlink(address->sun_path);
        // Owner-only, though the folder alone already keeps others out.
        if (::bind(socket.fd, reinterpret_cast<const sockaddr *>(&*address), sizeof(*address)) !=
                0 ||
            ::chmod(address->sun_path, 0600) != 0 || ::listen(socket.fd, maxClients) != 0) {
            failure = errno;
            ::unlink(address->sun_path);
        }
    } else if (address) {
        failure = errno;
    }
    if (failure != 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, ControlChannel::systemError(failure));
        return false;
    }
    m_boundPath = QByteArray(address->sun_path);
    m_listener = std::exchange(socket.fd, -1);
    m_folder = std::exchange(folder.fd, -1);
    m_acceptor = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    connect(m_acceptor.get(), &QSocketNotifier::activated, this, &ControlServer::accept);
    return true;
}

void ControlServer::close()
{
    m_acceptor.reset();
    if (m_listener >= 0) {
        ::close(std::exchange(m_listener, -1));
        // Through the folder's descriptor when the path is long, so before that closes.
        ::unlink(m_boundPath.constData());
    }
    if (m_folder >= 0)
        ::close(std::exchange(m_folder, -1));
}

bool ControlServer::isListening() const
{
    return m_listener >= 0;
}

void ControlServer::accept()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return; // EAGAIN: no more waiting; anything else: the next activation tries again
        if (m_clients.size() >= maxClients)
            delete m_clients.takeFirst();
        auto *client = new Client(fd, this);
        m_clients.append(client);
        connect(&client->notifier, &QSocketNotifier::activated, this,
                [this, client] { readFrom(client); });
        connect(client, &QObject::destroyed, this, [this, client] { m_clients.removeOne(client); });
    }
}

void ControlServer::readFrom(Client *client)
{
    char buffer[ControlChannel::maxLineLength + 1];
    const qsizetype room = qsizetype(sizeof buffer) - client->received.size();
    const ssize_t n = ::read(client->fd, buffer, size_t(room));
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        // Gone before its request ended: nothing to answer.
        client->notifier.setEnabled(false);
        client->deleteLater();
        return;
    }
    client->received.append(buffer, n);
    const qsizetype end = client->received.indexOf('\n');
    if (end >= 0)
        answer(client, client->received.left(end + 1));
    else if (client->received.size() > ControlChannel::maxLineLength)
        answer(client, QByteArray());
}

void ControlServer::answer(Client *client, const QByteArray &line)
{
    // One request per connection: whatever follows is not read.
    client->notifier.setEnabled(false);
    QByteArray reply;
    if (!line.endsWith('\n')) {
        reply = "error request too long";
    } else {
        const ControlChannel::Parsed parsed = ControlChannel::parseRequest(line);
        if (!parsed.error.isEmpty())
            reply = "error " + parsed.error.toUtf8();
        else if (!m_handler(parsed.command))
            reply = "error unknown command '" + parsed.command.toUtf8() + '\'';
        else
            reply = "ok";
    }
    reply += '\n';
    // A fresh socket's buffer takes a short line whole; a peer that went away gets nothing.
    [[maybe_unused]] const ssize_t written =
        ::send(client->fd, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
    client->deleteLater();
}

LaunchClaim claimInstance(const QString &dataFolder, int waitMs)
{
    LaunchClaim claim;
    // The socket may live in the data folder, which a first launch has yet to make.
    if (!QFileInfo::exists(dataFolder))
        DataFiles::ensureFolder(dataFolder);
    claim.socketPath = ControlChannel::socketPath(dataFolder);
    if (const auto problem =
            ControlChannel::prepareFolder(ControlChannel::socketFolder(dataFolder), true)) {
        claim.outcome = LaunchClaim::Outcome::unavailable;
        claim.error = *problem;
        return claim;
    }
    auto lock = std::make_unique<InstanceLock>(claim.socketPath + QStringLiteral(".lock"));
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        QString problem;
        if (lock->tryLock(&problem)) {
            claim.outcome = LaunchClaim::Outcome::primary;
            claim.lock = std::move(lock);
            return claim;
        }
        if (!problem.isEmpty()) {
            claim.outcome = LaunchClaim::Outcome::unavailable;
            claim.error = problem;
            return claim;
        }
        const ControlChannel::Reply reply =
            ControlChannel::send(claim.socketPath, QStringLiteral("show"));
        if (reply.status == ControlChannel::Reply::Status::answered ||
            reply.status == ControlChannel::Reply::Status::refused) {
            claim.outcome = LaunchClaim::Outcome::handedOver;
            return claim;
        }
        if (deadline.hasExpired()) {
            claim.error = QStringLiteral("another copy of Vesk Voice holds %1 but does not answer")
                              .arg(claim.socketPath + QStringLiteral(".lock"));
            return claim;
        }
        QThread::msleep(100);
    }
}
