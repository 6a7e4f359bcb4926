#include "desktop/wayland/PortalClipboard.h"

#include "records/Log.h"
#include "desktop/wayland/PortalKeyPoster.h"
#include "desktop/wayland/PortalRequest.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QThreadPool>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

const QString clipboardInterface = QStringLiteral("org.freedesktop.portal.Clipboard");
// Tried where the portal never said what the clipboard holds.
const QStringList textTypes = {QStringLiteral("text/plain;charset=utf-8"),
                               QStringLiteral("text/plain")};

// Reads to the end, or gives up after perFormatMs without data.
bool readAll(int fd, QByteArray &data)
{
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, ClipboardReader::perFormatMs) <= 0)
            return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        data.append(buffer, n);
    }
}

bool writeAll(int fd, const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

PortalClipboard::PortalClipboard(PortalKeyPoster *poster, QObject *parent)
    : QObject(parent), m_poster(poster)
{
    QDBusConnection bus = poster->bus();
    bus.connect(PortalRequest::service, PortalRequest::desktopPath, clipboardInterface,
                QStringLiteral("SelectionTransfer"), this, SLOT(onSelectionTransfer(QDBusMessage)));
    bus.connect(PortalRequest::service, PortalRequest::desktopPath, clipboardInterface,
                QStringLiteral("SelectionOwnerChanged"), this,
                SLOT(onSelectionOwnerChanged(QDBusMessage)));
}

bool PortalClipboard::usable() const
{
    return m_poster && m_poster->clipboardEnabled() && !m_poster->session().isEmpty();
}

void PortalClipboard::call(const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        PortalRequest::service, PortalRequest::desktopPath, clipboardInterface, method);
    message.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(m_poster->bus().asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, method] {
        watcher->deleteLater();
        if (watcher->isError())
            Log::write(QStringLiteral("clipboard portal ") + method + QStringLiteral(" failed: ") +
                       watcher->error().name());
    });
}

void PortalClipboard::set(QClipboard::Mode mode, const QList<Format> &formats)
{
    if (mode != QClipboard::Clipboard || formats.isEmpty() || !usable())
        return;
    QStringList types;
    for (const Format &format : formats)
        types.append(format.mimeType);
    QVariantMap options;
    options.insert(QStringLiteral("mime_types"), types);
    m_own = formats;
    m_owner = true;
    // Sent on the connection that posts the keys, before them: the desktop has it first.
    call(QStringLiteral("SetSelection"),
         {QVariant::fromValue(QDBusObjectPath(m_poster->session())), options});
}

bool PortalClipboard::holdsOwn(QClipboard::Mode mode) const
{
    return mode == QClipboard::Clipboard && m_owner && usable();
}

QList<ClipboardReader::Format> PortalClipboard::ownContents(QClipboard::Mode mode) const
{
    return holdsOwn(mode) ? m_own : QList<Format>();
}

void PortalClipboard::read(QClipboard::Mode mode, QObject *context, Done done)
{
    QPointer<QObject> target(context);
    if (mode != QClipboard::Clipboard || !usable()) {
        deliver(target, std::move(done), {}, {});
        return;
    }
    if (m_owner) {
        deliver(target, std::move(done), m_own, {});
        return;
    }
    // The descriptors come back at once; their contents may take a while.
    QList<std::pair<QString, QDBusUnixFileDescriptor>> pipes;
    for (const QString &type : m_offered.isEmpty() ? textTypes : m_offered) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(PortalRequest::service, PortalRequest::desktopPath,
                                           clipboardInterface, QStringLiteral("SelectionRead"));
        message << QVariant::fromValue(QDBusObjectPath(m_poster->session())) << type;
        const QDBusMessage reply =
            m_poster->bus().call(message, QDBus::Block, ClipboardReader::perFormatMs);
        if (reply.type() != QDBusMessage::ReplyMessage)
            continue;
        pipes.append({type, reply.arguments().value(0).value<QDBusUnixFileDescriptor>()});
        // Where the portal did not say, the first text type that reads is enough.
        if (m_offered.isEmpty())
            break;
    }
    QThreadPool::globalInstance()->start([pipes, target, done = std::move(done)] {
        QList<Format> formats;
        QStringList skipped;
        for (const auto &[type, fd] : pipes) {
            QByteArray data;
            if (readAll(fd.fileDescriptor(), data))
                formats.append({type, data});
            else
                skipped.append(type);
        }
        deliver(target, done, formats, skipped);
    });
}

void PortalClipboard::onSelectionTransfer(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (!usable() || arguments.size() < 3 ||
        arguments[0].value<QDBusObjectPath>().path() != m_poster->session())
        return;
    const QString type = arguments[1].toString();
    const uint serial = arguments[2].toUInt();
    const QDBusObjectPath session(m_poster->session());
    QByteArray data;
    bool found = false;
    for (const Format &format : m_own) {
        if (format.mimeType == type) {
            data = format.data;
            found = true;
        }
    }
    if (!found || !m_owner) {
        call(QStringLiteral("SelectionWriteDone"), {QVariant::fromValue(session), serial, false});
        return;
    }
    QDBusMessage write =
        QDBusMessage::createMethodCall(PortalRequest::service, PortalRequest::desktopPath,
                                       clipboardInterface, QStringLiteral("SelectionWrite"));
    write << QVariant::fromValue(session) << serial;
    auto *watcher = new QDBusPendingCallWatcher(m_poster->bus().asyncCall(write), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, data, session, serial] {
                watcher->deleteLater();
                if (watcher->isError()) {
                    Log::write(QStringLiteral("clipboard portal SelectionWrite failed: ") +
                               watcher->error().name());
                    call(QStringLiteral("SelectionWriteDone"),
                         {QVariant::fromValue(session), serial, false});
                    return;
                }
                const QDBusUnixFileDescriptor fd =
                    watcher->reply().arguments().value(0).value<QDBusUnixFileDescriptor>();
                // The pasting client reads at its own pace: not on the interface's thread.
                QPointer<PortalClipboard> self(this);
                QThreadPool::globalInstance()->start([self, fd, data, session, serial] {
                    const bool written = fd.isValid() && writeAll(fd.fileDescriptor(), data);
                    QMetaObject::invokeMethod(
                        QCoreApplication::instance(), [self, written, session, serial] {
                            if (self && self->m_poster)
                                self->call(QStringLiteral("SelectionWriteDone"),
                                           {QVariant::fromValue(session), serial, written});
                        });
                });
            });
}

void PortalClipboard::onSelectionOwnerChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (!m_poster || arguments.size() < 2 ||
        arguments[0].value<QDBusObjectPath>().path() != m_poster->session())
        return;
    const QVariantMap options = qdbus_cast<QVariantMap>(arguments[1]);
    const bool ours = options.value(QStringLiteral("session_is_owner")).toBool();
    // The answer to our own SetSelection says nothing new.
    if (ours)
        return;
    m_owner = false;
    m_own.clear();
    m_offered = options.value(QStringLiteral("mime_types")).toStringList();
}
