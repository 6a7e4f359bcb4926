#include "ControlChannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

QString socketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return QDir::cleanPath(runtime) + QStringLiteral("/vesk-voice");
    return QDir::tempPath() + QStringLiteral("/vesk-voice-%1").arg(::getuid());
}

QString socketPath(const QString &dataFolder)
{
    // Symbolic links and relative paths name the same folder the same way when it exists.
    const QFileInfo info(dataFolder);
    QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(info.absoluteFilePath());
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha256).toHex();
    return socketFolder() + QStringLiteral("/control-") + QString::fromLatin1(hash.left(20));
}

std::optional<QString> prepareFolder(const QString &folder, bool create)
{
    const QByteArray path = QFile::encodeName(folder);
    if (create && ::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create %1: %2")
            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info
    {};
    if (::lstat(path.constData(), &info) != 0)
        return QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
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
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path))
        return {Reply::Status::failed, QStringLiteral("socket path too long: %1").arg(socketPath)};
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));

    Fd socket{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    if (socket.fd < 0)
        return {Reply::Status::failed, QString::fromLocal8Bit(std::strerror(errno))};
    if (::connect(socket.fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0) {
        // A missing socket, or one left by an app that is gone.
        if (errno == ENOENT || errno == ECONNREFUSED)
            return {Reply::Status::noServer, {}};
        return {Reply::Status::failed, QString::fromLocal8Bit(std::strerror(errno))};
    }

    const QDeadlineTimer deadline(timeoutMs);
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
            return {Reply::Status::failed, QString::fromLocal8Bit(std::strerror(errno))};
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
            return {Reply::Status::failed, QString::fromLocal8Bit(std::strerror(errno))};
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

bool InstanceLock::tryLock()
{
    if (m_fd >= 0)
        return true;
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

ControlServer::ControlServer(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{}

ControlServer::~ControlServer() = default;

bool ControlServer::listen(const QString &path, QString *error)
{
    close();
    // The previous holder of the lock is gone; its socket file may not be.
    QLocalServer::removeServer(path);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, &ControlServer::accept);
    if (!m_server->listen(path)) {
        if (error)
            *error = m_server->errorString();
        m_server.reset();
        return false;
    }
    return true;
}

void ControlServer::close()
{
    if (m_server)
        m_server->close();
    m_server.reset();
}

bool ControlServer::isListening() const
{
    return m_server && m_server->isListening();
}

void ControlServer::accept()
{
    while (m_server && m_server->hasPendingConnections()) {
        QLocalSocket *socket = m_server->nextPendingConnection();
        // The socket lives no longer than the server, nor than its time-out.
        socket->setParent(this);
        if (m_clients.size() >= maxClients) {
            QLocalSocket *oldest = m_clients.takeFirst();
            disconnect(oldest, nullptr, this, nullptr);
            oldest->abort();
            oldest->deleteLater();
        }
        m_clients.append(socket);
        socket->setReadBufferSize(ControlChannel::maxLineLength + 1);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, socket] { m_clients.removeOne(socket); });
        QTimer::singleShot(ControlChannel::timeoutMs, socket, [socket] { socket->abort(); });
        readFrom(socket);
    }
}

void ControlServer::readFrom(QLocalSocket *socket)
{
    if (socket->canReadLine()) {
        const QByteArray line = socket->readLine(ControlChannel::maxLineLength + 1);
        answer(socket, line);
    } else if (socket->bytesAvailable() > ControlChannel::maxLineLength) {
        answer(socket, QByteArray());
    }
}

void ControlServer::answer(QLocalSocket *socket, const QByteArray &line)
{
    // One request per connection: whatever follows is not read.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
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
    socket->write(reply + '\n');
    socket->disconnectFromServer();
}

LaunchClaim claimInstance(const QString &dataFolder, int waitMs)
{
    LaunchClaim claim;
    claim.socketPath = ControlChannel::socketPath(dataFolder);
    if (const auto problem = ControlChannel::prepareFolder(ControlChannel::socketFolder(), true)) {
        claim.outcome = LaunchClaim::Outcome::unavailable;
        claim.error = *problem;
        return claim;
    }
    auto lock = std::make_unique<InstanceLock>(claim.socketPath + QStringLiteral(".lock"));
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (lock->tryLock()) {
            claim.outcome = LaunchClaim::Outcome::primary;
            claim.lock = std::move(lock);
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
