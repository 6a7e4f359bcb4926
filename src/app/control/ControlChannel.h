#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

// The local socket through which a second launch, or a command such as `vesk-voice toggle`,
// reaches the running app. One request line, one reply line:
//   "vesk-voice 1 <command>\n"  ->  "ok\n" or "error <message>\n"
// The number is the protocol version; a newer app may accept more words after the command.
namespace ControlChannel {

inline constexpr int protocolVersion = 1;
// Longer lines are refused unread: nothing on the socket can make either side buffer more.
inline constexpr qsizetype maxLineLength = 256;
inline constexpr int timeoutMs = 3000;

// The owner-only folder that holds the socket of a data folder: $XDG_RUNTIME_DIR/vesk-voice when
// the session has a runtime folder of this user's, otherwise "run" inside the data folder itself
// (a shared folder such as /tmp would let another user take the name first).
QString socketFolder(const QString &dataFolder);
// The socket of one data folder: two data folders may each have their app running. The lock of
// the one running app is beside it, with ".lock" added.
QString socketPath(const QString &dataFolder);
// Makes the folder (0700) or checks it: it must be a real folder of this user, not readable by
// others. Returns the reason it cannot be used, or nothing.
std::optional<QString> prepareFolder(const QString &folder, bool create);

QByteArray request(const QString &command);
// The command of a request line (without its line feed), or the reason it is refused.
struct Parsed
{
    QString command;
    QString error;
};
Parsed parseRequest(const QByteArray &line);

struct Reply
{
    enum class Status
    {
        answered, // "ok"
        refused,  // the app answered "error ..."
        noServer, // nobody listens: the app is not running
        failed,   // connected, but no usable answer in time
    };
    Status status = Status::noServer;
    QString message; // the app's error text, or what went wrong
};
// Sends one request and waits at most timeoutMs for its reply. Blocking and without Qt's event
// loop, so that a launch can ask before it makes its application object.
Reply send(const QString &socketPath, const QString &command,
           int timeoutMs = ControlChannel::timeoutMs);

} // namespace ControlChannel

// One running app per data folder: an exclusive lock on a file beside the socket. The kernel
// lets go of it when the process ends, however it ends, so a crash never leaves a stale claim.
class InstanceLock
{
public:
    explicit InstanceLock(QString path);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // False when another process holds it, and also when the file cannot be locked at all
    // (then `problem` says why).
    bool tryLock(QString *problem = nullptr);
    bool isLocked() const { return m_fd >= 0; }

private:
    QString m_path;
    int m_fd = -1;
};

// The running app's end of the channel.
class ControlServer : public QObject
{
    Q_OBJECT
public:
    // Performs one command; false when the command is unknown.
    using Handler = std::function<bool(const QString &command)>;

    explicit ControlServer(Handler handler, QObject *parent = nullptr);
    ~ControlServer() override;

    // Replaces whatever socket file is left at the path (only the holder of the instance lock
    // may do so) and listens, owner-only. A path longer than a socket address holds is bound
    // through its folder.
    bool listen(const QString &path, QString *error);
    // Stops taking requests (at quit, so that a new launch does not wait on a leaving app).
    void close();
    bool isListening() const;

    // Connections held open at once. Each waits for its own request only and is let go after
    // the time-out; past this many the oldest goes, so a new command always gets through.
    static constexpr int maxClients = 64;

private:
    class Client;
    void accept();
    void readFrom(Client *client);
    void answer(Client *client, const QByteArray &line);

    Handler m_handler;
    // A plain socket and notifier rather than QLocalServer: the idle app then maps no network
    // library at all.
    int m_listener = -1;
    std::unique_ptr<QSocketNotifier> m_acceptor;
    QByteArray m_boundPath;    // removed again at close
    int m_folder = -1;         // the socket's folder, while a long path is bound through it
    QList<Client *> m_clients; // oldest first
};

// What a launch of the desktop app found: it is the one running copy for its data folder (and
// holds the lock), or it handed over to the copy already running, or neither.
struct LaunchClaim
{
    enum class Outcome
    {
        primary,
        handedOver,
        failed,      // a copy holds the data folder but does not answer
        unavailable, // no usable socket folder: the app can run, unguarded
    };
    Outcome outcome = Outcome::failed;
    std::unique_ptr<InstanceLock> lock;
    QString socketPath;
    QString error;
};
// Takes the lock, or asks the holder to show its window. A holder that is still starting (or
// quitting) is given waitMs to answer or to let go.
LaunchClaim claimInstance(const QString &dataFolder, int waitMs);
