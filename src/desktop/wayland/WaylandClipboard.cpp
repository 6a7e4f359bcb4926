#include "desktop/wayland/WaylandClipboard.h"

#include "records/Log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <csignal>
#include <pthread.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <utility>
#include <wayland-client.h>

#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace {

// Requests and metadata an X11 owner (through XWayland) lists beside its contents.
const QStringList notContents = {
    QStringLiteral("TARGETS"),          QStringLiteral("MULTIPLE"),
    QStringLiteral("TIMESTAMP"),        QStringLiteral("SAVE_TARGETS"),
    QStringLiteral("DELETE"),           QStringLiteral("INSERT_PROPERTY"),
    QStringLiteral("INSERT_SELECTION"), QStringLiteral("application/x-qt-image")};

WaylandClipboard *self(void *data)
{
    return static_cast<WaylandClipboard *>(data);
}

void offerOffer(void *data, zwlr_data_control_offer_v1 *offer, const char *mimeType)
{
    self(data)->offerType(offer, mimeType);
}

const zwlr_data_control_offer_v1_listener offerListener = {offerOffer};

void deviceDataOffer(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
{
    zwlr_data_control_offer_v1_add_listener(offer, &offerListener, data);
    self(data)->offerIntroduced(offer);
}

void deviceSelection(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
{
    self(data)->selectionChanged(0, offer);
}

void deviceFinished(void *data, zwlr_data_control_device_v1 *)
{
    self(data)->finished();
}

void devicePrimarySelection(void *data, zwlr_data_control_device_v1 *,
                            zwlr_data_control_offer_v1 *offer)
{
    self(data)->selectionChanged(1, offer);
}

const zwlr_data_control_device_v1_listener deviceListener = {
    deviceDataOffer, deviceSelection, deviceFinished, devicePrimarySelection};

void sourceSend(void *data, zwlr_data_control_source_v1 *source, const char *mimeType, int32_t fd)
{
    self(data)->sendRequested(source, mimeType, fd);
}

void sourceCancelled(void *data, zwlr_data_control_source_v1 *source)
{
    self(data)->cancelled(source);
}

const zwlr_data_control_source_v1_listener sourceListener = {sourceSend, sourceCancelled};

// Reads a pipe to its end, for at most the bound; false when the owner did not finish in time.
bool readAll(int fd, QByteArray &out)
{
    QElapsedTimer clock;
    clock.start();
    char buffer[65536];
    for (;;) {
        const qint64 left = ClipboardReader::perFormatMs - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buffer, n);
    }
}

// Writes the data to a reader's pipe. A reader that stops reading for this long is given up on,
// so that it cannot hold a pool thread for good.
constexpr int stalledWriteMs = 5000;

void writeAll(int fd, const QByteArray &data)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // A reader that closes its end early costs a failed write, not the process: SIGPIPE is held
    // back on this thread and any one raised is taken before it lets signals through again.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    qsizetype written = 0;
    bool broken = false;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        pollfd p{fd, POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && poll(&p, 1, stalledWriteMs) > 0 && !(p.revents & POLLERR))
            continue;
        broken = n < 0 && errno == EPIPE;
        break;
    }
    if (broken) {
        const timespec none{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

} // namespace

std::unique_ptr<WaylandClipboard> WaylandClipboard::open()
{
    std::unique_ptr<WaylandClipboard> clipboard(new WaylandClipboard);
    clipboard->m_connection = Wayland::shared();
    Wayland::Connection *connection = clipboard->m_connection.get();
    if (!connection)
        return nullptr;
    // Version 2 adds the primary selection.
    const quint32 version = std::min<quint32>(connection->dataControlVersion, 2);
    clipboard->m_manager = static_cast<zwlr_data_control_manager_v1 *>(connection->bind(
        connection->dataControlName, &zwlr_data_control_manager_v1_interface, version));
    if (!clipboard->m_manager || !connection->seat) {
        Log::write(QStringLiteral("the Wayland compositor offers no data control: the clipboard "
                                  "is reached only through Qt"));
        return nullptr;
    }
    clipboard->m_device =
        zwlr_data_control_manager_v1_get_data_control(clipboard->m_manager, connection->seat);
    zwlr_data_control_device_v1_add_listener(clipboard->m_device, &deviceListener, clipboard.get());
    if (!clipboard->sync())
        return nullptr;
    WaylandClipboard *raw = clipboard.get();
    clipboard->m_notifier = std::make_unique<QSocketNotifier>(
        wl_display_get_fd(connection->display), QSocketNotifier::Read);
    QObject::connect(clipboard->m_notifier.get(), &QSocketNotifier::activated,
                     clipboard->m_notifier.get(), [raw] { raw->dispatch(); });
    return clipboard;
}

WaylandClipboard::~WaylandClipboard()
{
    m_notifier.reset();
    for (auto it = m_offers.begin(); it != m_offers.end(); ++it)
        zwlr_data_control_offer_v1_destroy(it.key());
    for (auto it = m_sources.begin(); it != m_sources.end(); ++it)
        zwlr_data_control_source_v1_destroy(it.key());
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    if (m_manager)
        zwlr_data_control_manager_v1_destroy(m_manager);
    if (m_connection)
        wl_display_flush(m_connection->display);
}

int WaylandClipboard::indexOf(QClipboard::Mode mode)
{
    return mode == QClipboard::Selection ? 1 : 0;
}

void WaylandClipboard::dispatch()
{
    wl_display *display = m_connection->display;
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    wl_display_flush(display);
    // What woke us may have been read meanwhile by a round trip.
    pollfd p{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&p, 1, 0) > 0) {
        if (wl_display_read_events(display) < 0) {
            Log::write(QStringLiteral("the Wayland compositor closed the clipboard connection"));
            m_notifier->setEnabled(false);
            return;
        }
    } else {
        wl_display_cancel_read(display);
    }
    wl_display_dispatch_pending(display);
    wl_display_flush(display);
}

bool WaylandClipboard::sync() const
{
    return m_device && wl_display_roundtrip(m_connection->display) >= 0;
}

void WaylandClipboard::offerIntroduced(zwlr_data_control_offer_v1 *offer)
{
    m_offers.insert(offer, {});
}

void WaylandClipboard::offerType(zwlr_data_control_offer_v1 *offer, const char *mimeType)
{
    const QString type = QString::fromUtf8(mimeType);
    QStringList &types = m_offers[offer];
    if (!types.contains(type))
        types.append(type);
}

void WaylandClipboard::selectionChanged(int which, zwlr_data_control_offer_v1 *offer)
{
    zwlr_data_control_offer_v1 *previous = m_current[which];
    m_current[which] = offer;
    // An offer can stand for both selections at once; it goes when neither holds it.
    if (previous && previous != offer && m_current[1 - which] != previous) {
        m_offers.remove(previous);
        zwlr_data_control_offer_v1_destroy(previous);
    }
}

void WaylandClipboard::finished()
{
    Log::write(QStringLiteral("the Wayland compositor ended the clipboard's data control"));
    zwlr_data_control_device_v1_destroy(m_device);
    m_device = nullptr;
}

void WaylandClipboard::sendRequested(zwlr_data_control_source_v1 *source, const char *mimeType,
                                     int fd)
{
    const QString type = QString::fromUtf8(mimeType);
    QByteArray data;
    for (const Format &format : m_sources.value(source))
        if (format.mimeType == type)
            data = format.data;
    // A large image must not hold up the interface; nor a client that reads slowly.
    QThreadPool::globalInstance()->start([fd, data] {
        writeAll(fd, data);
        ::close(fd);
    });
    for (int which : {0, 1})
        if (m_own[which] == source)
            tellAsked(which);
}

void WaylandClipboard::tellAsked(int which)
{
    Watch watch = std::exchange(m_askedFor[which], {});
    if (!watch.done)
        return;
    // Not from inside the compositor's callback: done may set the clipboard anew.
    QTimer::singleShot(0, watch.context, [context = watch.context, done = watch.done] {
        if (context)
            done();
    });
}

bool WaylandClipboard::whenAskedFor(QClipboard::Mode mode, QObject *context,
                                    std::function<void()> done)
{
    if (!m_device || !context)
        return false;
    m_askedFor[indexOf(mode)] = {context, std::move(done)};
    return true;
}

void WaylandClipboard::cancelled(zwlr_data_control_source_v1 *source)
{
    // Someone else took the clipboard: nobody will ask us for these contents any more.
    for (int which : {0, 1})
        if (m_own[which] == source) {
            m_own[which] = nullptr;
            tellAsked(which);
        }
    m_sources.remove(source);
    zwlr_data_control_source_v1_destroy(source);
}

void WaylandClipboard::read(QClipboard::Mode mode, QObject *context, Done done)
{
    const int which = indexOf(mode);
    QPointer<QObject> target(context);
    const auto deliver = [target, done](QList<Format> formats, QStringList skipped) {
        ClipboardReader::deliver(target, done, std::move(formats), std::move(skipped));
    };
    sync();
    // Our own contents need no trip through a pipe (and our own event loop).
    if (m_own[which]) {
        deliver(m_sources.value(m_own[which]), {});
        return;
    }
    zwlr_data_control_offer_v1 *offer = m_current[which];
    if (!offer || !m_device) {
        deliver({}, {});
        return;
    }
    QList<QPair<QString, int>> pipes;
    for (const QString &type : m_offers.value(offer)) {
        if (notContents.contains(type))
            continue;
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            continue;
        zwlr_data_control_offer_v1_receive(offer, type.toUtf8().constData(), fds[1]);
        ::close(fds[1]);
        pipes.append({type, fds[0]});
    }
    wl_display_flush(m_connection->display);
    QThreadPool::globalInstance()->start([pipes, deliver] {
        QList<Format> formats;
        QStringList skipped;
        for (const auto &[type, fd] : pipes) {
            QByteArray data;
            if (readAll(fd, data))
                formats.append({type, data});
            else
                skipped.append(type);
            ::close(fd);
        }
        deliver(formats, skipped);
    });
}

void WaylandClipboard::set(QClipboard::Mode mode, const QList<Format> &formats)
{
    const int which = indexOf(mode);
    if (!m_device || formats.isEmpty())
        return;
    if (which == 1 && zwlr_data_control_device_v1_get_version(m_device) < 2)
        return;
    zwlr_data_control_source_v1 *source =
        zwlr_data_control_manager_v1_create_data_source(m_manager);
    zwlr_data_control_source_v1_add_listener(source, &sourceListener, this);
    for (const Format &format : formats)
        zwlr_data_control_source_v1_offer(source, format.mimeType.toUtf8().constData());
    if (which == 1)
        zwlr_data_control_device_v1_set_primary_selection(m_device, source);
    else
        zwlr_data_control_device_v1_set_selection(m_device, source);
    m_sources.insert(source, formats);
    m_own[which] = source;
    // Once the compositor has taken the selection, the focused client has been told of it: a
    // paste key sent after this, on another connection, cannot overtake it.
    sync();
}

bool WaylandClipboard::holdsOwn(QClipboard::Mode mode) const
{
    // Nothing is held over a connection the compositor has closed (the session ended).
    return sync() && m_own[indexOf(mode)] != nullptr;
}

QList<ClipboardReader::Format> WaylandClipboard::ownContents(QClipboard::Mode mode) const
{
    if (!holdsOwn(mode))
        return {};
    return m_sources.value(m_own[indexOf(mode)]);
}
