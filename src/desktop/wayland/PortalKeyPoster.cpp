#include "desktop/wayland/PortalKeyPoster.h"

#include "records/Config.h"
#include "records/DataFiles.h"
#include "desktop/KeyEvent.h"
#include "records/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

namespace {

const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString tokenKey = QStringLiteral("remoteDesktopRestoreToken");
constexpr qint64 stateFileLimit = 64 * 1024;
// The portal's device type bit for a keyboard.
constexpr uint keyboardDevice = 1;
// Permissions persist until the user revokes them.
constexpr uint persistUntilRevoked = 2;
// A key call the desktop does not answer by then is taken as lost.
constexpr int keyCallTimeoutMs = 3000;

bool decodes(const QByteArray &bytes)
{
    return DataFiles::parseObject(bytes, nullptr).has_value();
}

// The state file as it is; other keys (a newer version's) are kept when the token changes.
QJsonObject readState()
{
    const DataFiles::ReadResult read =
        DataFiles::readRegularFile(PortalKeyPoster::stateFile(), stateFileLimit);
    if (read.status != DataFiles::ReadResult::Status::ok)
        return {};
    return DataFiles::parseObject(read.bytes, nullptr).value_or(QJsonObject());
}

void storeToken(const QString &token)
{
    const QString path = PortalKeyPoster::stateFile();
    // Something there that does not read is set aside, never written over.
    DataFiles::setAsideIfUnreadable(path, stateFileLimit, decodes);
    QJsonObject state = readState();
    if (token.isEmpty())
        state.remove(tokenKey);
    else
        state.insert(tokenKey, token);
    if (!DataFiles::ensureFolder(Config::directory()) ||
        !DataFiles::writeAtomically(path, QJsonDocument(state).toJson(), DataFiles::ownerReadWrite))
        Log::write(QStringLiteral("could not save the remote desktop restore token"));
}

// A character's keysym; none for control characters, which typing never sends as text.
xkb_keysym_t keysymFor(char32_t codePoint)
{
    if (codePoint < 0x20 || (codePoint >= 0x7f && codePoint < 0xa0))
        return XKB_KEY_NoSymbol;
    return xkb_utf32_to_keysym(codePoint);
}

} // namespace

bool PortalKeyPoster::isOffered(QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    // The portal's interfaces stay what they are for the session: asked once per connection.
    static QHash<QString, bool> known;
    if (const auto it = known.constFind(bus.name()); it != known.constEnd())
        return *it;
    QDBusConnectionInterface *daemon = bus.interface();
    bool offered = false;
    if (daemon->isServiceRegistered(PortalRequest::service).value()) {
        // A running portal answers at once; it has the interface only where a backend of the
        // desktop implements it (KDE's and GNOME's do, the wlroots and GTK ones do not).
        QDBusMessage get = QDBusMessage::createMethodCall(
            PortalRequest::service, PortalRequest::desktopPath,
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << remoteDesktop << QStringLiteral("version");
        offered = bus.call(get, QDBus::Block, 1000).type() == QDBusMessage::ReplyMessage;
    } else {
        // Not started yet: starting it here could take seconds. Opening the session tells.
        offered = daemon->activatableServiceNames().value().contains(PortalRequest::service);
    }
    Log::write(QStringLiteral("remote desktop portal ") +
               (offered ? QStringLiteral("found") : QStringLiteral("not found")));
    known.insert(bus.name(), offered);
    return offered;
}

QString PortalKeyPoster::stateFile()
{
    return Config::directory() + QStringLiteral("/portal.json");
}

PortalKeyPoster::PortalKeyPoster(QDBusConnection bus, bool canPaste, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_requests(m_bus, remoteDesktop), m_canPaste(canPaste)
{}

PortalKeyPoster::~PortalKeyPoster()
{
    // Cut short (the program ends): what went down comes up, after the call still out, which
    // the portal might otherwise handle after the releases.
    m_keys.clear();
    if (m_pending) {
        disconnect(m_pending, nullptr, this, nullptr);
        m_pending->waitForFinished();
    }
    if (!m_session.isEmpty()) {
        for (auto it = m_down.crbegin(); it != m_down.crend(); ++it)
            m_bus.call(keyMessage({it->keysym, it->value, false}), QDBus::Block, keyCallTimeoutMs);
    }
    PortalRequest::closeSession(m_bus, m_session);
}

void PortalKeyPoster::open()
{
    if (m_state == State::starting || m_state == State::started)
        return;
    m_problem.clear();
    setState(State::starting);
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), PortalRequest::token());
    m_requests.call(
        QStringLiteral("CreateSession"), {}, options,
        [this](uint code, const QVariantMap &results) { sessionCreated(code, results); },
        [this](const QDBusError &error) { unavailable(error.message()); });
}

void PortalKeyPoster::sessionCreated(uint code, const QVariantMap &results)
{
    m_session = results.value(QStringLiteral("session_handle")).toString();
    if (code != 0 || m_session.isEmpty()) {
        m_session.clear();
        unavailable(QStringLiteral("CreateSession %1").arg(code));
        return;
    }
    m_bus.connect(PortalRequest::service, m_session, PortalRequest::sessionInterface,
                  QStringLiteral("Closed"), this, SLOT(onSessionClosed(QVariantMap)));
    // The clipboard is asked for before the start, where the portal has it (1.18 and later);
    // without it the text can only be pasted where data control sets the clipboard.
    QDBusMessage request = QDBusMessage::createMethodCall(
        PortalRequest::service, PortalRequest::desktopPath,
        QStringLiteral("org.freedesktop.portal.Clipboard"), QStringLiteral("RequestClipboard"));
    request << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(request, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher->isError())
            Log::write(QStringLiteral("no clipboard portal: ") + watcher->error().name());
        if (m_state == State::starting && !m_session.isEmpty())
            selectDevices();
    });
}

void PortalKeyPoster::selectDevices()
{
    QVariantMap options;
    options.insert(QStringLiteral("types"), keyboardDevice);
    options.insert(QStringLiteral("persist_mode"), persistUntilRevoked);
    const QString token = readState().value(tokenKey).toString();
    if (!token.isEmpty())
        options.insert(QStringLiteral("restore_token"), token);
    m_requests.call(
        QStringLiteral("SelectDevices"), {QVariant::fromValue(QDBusObjectPath(m_session))}, options,
        [this](uint code, const QVariantMap &) { devicesSelected(code); },
        [this](const QDBusError &error) { unavailable(error.message()); });
}

void PortalKeyPoster::devicesSelected(uint code)
{
    if (code != 0) {
        unavailable(QStringLiteral("SelectDevices %1").arg(code));
        return;
    }
    // The desktop asks the user here, unless the restore token stands for an earlier yes.
    Log::write(QStringLiteral("asking the desktop for keyboard input (remote desktop portal)"));
    m_requests.call(
        QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(m_session)), QString()}, {},
        [this](uint code, const QVariantMap &results) { started(code, results); },
        [this](const QDBusError &error) { unavailable(error.message()); });
}

void PortalKeyPoster::started(uint code, const QVariantMap &results)
{
    if (code == 1) {
        fail(tr("Typing into other windows was not allowed in the desktop's dialog."));
        return;
    }
    const bool keyboard = !results.contains(QStringLiteral("devices")) ||
                          (results.value(QStringLiteral("devices")).toUInt() & keyboardDevice) != 0;
    if (code != 0 || !keyboard) {
        unavailable(QStringLiteral("Start %1").arg(code));
        return;
    }
    // Each token is good for one start: the one used is spent, so the new one replaces it (none
    // comes back where the desktop keeps nothing, and then the next start asks again).
    storeToken(results.value(QStringLiteral("restore_token")).toString());
    m_clipboardEnabled = results.value(QStringLiteral("clipboard_enabled")).toBool();
    if (m_clipboardEnabled)
        Log::write(QStringLiteral("the clipboard portal serves the remote desktop session"));
    m_notifyFailed = false;
    Log::write(QStringLiteral("keyboard input allowed by the desktop"));
    setState(State::started);
}

void PortalKeyPoster::unavailable(const QString &detail)
{
    fail(tr("The desktop offers no way to type into other windows: %1").arg(detail));
}

void PortalKeyPoster::fail(const QString &problem)
{
    Log::write(QStringLiteral("remote desktop portal: ") + problem);
    // The portal closes a refused session itself: its Closed must not overwrite the reason.
    forgetSession();
    m_problem = problem;
    setState(State::failed);
}

void PortalKeyPoster::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged();
    if (state == State::started || state == State::failed) {
        for (auto &ready : std::exchange(m_whenReady, {}))
            ready();
    }
}

bool PortalKeyPoster::whenReady(std::function<void()> ready)
{
    if (m_state == State::idle)
        open();
    if (m_state != State::starting)
        return false;
    m_whenReady.append(std::move(ready));
    return true;
}

void PortalKeyPoster::forgetSession()
{
    if (m_session.isEmpty())
        return;
    m_bus.disconnect(PortalRequest::service, m_session, PortalRequest::sessionInterface,
                     QStringLiteral("Closed"), this, SLOT(onSessionClosed(QVariantMap)));
    PortalRequest::closeSession(m_bus, m_session);
    m_session.clear();
}

void PortalKeyPoster::onSessionClosed(const QVariantMap &)
{
    Log::write(QStringLiteral("the desktop closed the remote desktop session"));
    if (m_state == State::failed)
        return;
    forgetSession();
    // The desktop lets go of the session's keys itself.
    m_keys.clear();
    m_down.clear();
    if (!m_sending)
        delivered();
    if (m_state != State::started) {
        unavailable(QStringLiteral("Closed"));
        return;
    }
    setState(State::idle);
    // Reopened at once: with a restore token the desktop asks nothing, and without one the user
    // sees the question now rather than in the middle of a dictation.
    QTimer::singleShot(0, this, &PortalKeyPoster::open);
}

QString PortalKeyPoster::unavailableReason()
{
    switch (m_state) {
    case State::started:
        return QString();
    case State::idle:
        open();
        break;
    case State::failed: {
        const QString problem = m_problem;
        open();
        return problem;
    }
    case State::starting:
        break;
    }
    return tr("Waiting for the desktop to allow typing into other windows.");
}

QDBusMessage PortalKeyPoster::keyMessage(const KeyCall &call) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        PortalRequest::service, PortalRequest::desktopPath, remoteDesktop,
        call.keysym ? QStringLiteral("NotifyKeyboardKeysym")
                    : QStringLiteral("NotifyKeyboardKeycode"));
    message << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap()
            << qint32(call.value) << quint32(call.pressed ? 1 : 0);
    return message;
}

void PortalKeyPoster::notify(bool keysym, int value, bool pressed)
{
    if (m_broken || m_session.isEmpty())
        return;
    m_keys.enqueue({keysym, value, pressed});
    sendNext();
}

void PortalKeyPoster::sendNext()
{
    if (m_sending)
        return;
    if (m_keys.isEmpty() || m_session.isEmpty()) {
        m_keys.clear();
        delivered();
        return;
    }
    const KeyCall call = m_keys.dequeue();
    if (call.pressed) {
        m_down.append(call);
    } else {
        KeyCall press = call;
        press.pressed = true;
        m_down.removeOne(press);
    }
    m_sending = true;
    auto *watcher =
        new QDBusPendingCallWatcher(m_bus.asyncCall(keyMessage(call), keyCallTimeoutMs), this);
    m_pending = watcher;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, call] {
        watcher->deleteLater();
        if (m_pending == watcher)
            m_pending = nullptr;
        m_sending = false;
        answered(call, watcher->isError() ? watcher->error() : QDBusError());
    });
}

void PortalKeyPoster::answered(const KeyCall &call, const QDBusError &error)
{
    if (error.isValid()) {
        // A press the desktop refused never went down; one that timed out may have.
        if (call.pressed && error.type() != QDBusError::NoReply &&
            error.type() != QDBusError::Timeout)
            m_down.removeOne(call);
        // Once per insertion is enough for the log.
        if (!std::exchange(m_notifyFailed, true))
            Log::write(QStringLiteral("remote desktop portal refused a key: ") + error.name() +
                       QStringLiteral(": ") + error.message());
        if (!m_broken) {
            m_broken = true;
            releaseAll();
        }
    }
    sendNext();
}

void PortalKeyPoster::releaseAll()
{
    m_keys.clear();
    for (auto it = m_down.crbegin(); it != m_down.crend(); ++it)
        m_keys.enqueue({it->keysym, it->value, false});
}

void PortalKeyPoster::delivered()
{
    for (auto &done : std::exchange(m_whenDelivered, {}))
        done();
}

bool PortalKeyPoster::whenDelivered(std::function<void()> done)
{
    if (!m_sending && m_keys.isEmpty())
        return false;
    m_whenDelivered.append(std::move(done));
    return true;
}

void PortalKeyPoster::beginInsertion(const QString &)
{
    // The user's own modifiers are out of reach here: the desktop combines them with ours.
    m_notifyFailed = false;
    m_broken = false;
}

int PortalKeyPoster::postText(QString &text)
{
    if (m_state == State::started) {
        for (const char32_t c : text.toStdU32String()) {
            const xkb_keysym_t keysym = keysymFor(c);
            if (keysym == XKB_KEY_NoSymbol)
                continue;
            notify(true, int(keysym), true);
            notify(true, int(keysym), false);
        }
    }
    text.clear();
    return 0;
}

void PortalKeyPoster::postKey(Key key, quint64 flags)
{
    if (m_state != State::started)
        return;
    QList<int> held;
    if (flags & ModifierFlag::control)
        held.append(KEY_LEFTCTRL);
    if (flags & ModifierFlag::shift)
        held.append(KEY_LEFTSHIFT);
    if (flags & ModifierFlag::option)
        held.append(KEY_LEFTALT);
    int code = KEY_ENTER;
    if (key == Key::v)
        code = KEY_V;
    else if (key == Key::insert)
        code = KEY_INSERT;
    for (const int modifier : held)
        notify(false, modifier, true);
    notify(false, code, true);
    notify(false, code, false);
    for (auto it = held.crbegin(); it != held.crend(); ++it)
        notify(false, *it, false);
}

void PortalKeyPoster::endInsertion() {}

QStringList PortalKeyPoster::focusedWindowClass()
{
    // Neither desktop tells other programs which window has the focus: Control+V it is.
    return {};
}
