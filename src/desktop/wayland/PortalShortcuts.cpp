#include "desktop/wayland/PortalShortcuts.h"

#include "records/Log.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <utility>

namespace {

const QString &service = PortalRequest::service;
const QString &desktopPath = PortalRequest::desktopPath;
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// One (id, properties) entry of the portal's a(sa{sv}) shortcut lists.
struct Shortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(Shortcut)

namespace {

QList<Shortcut> shortcutsFrom(const QVariant &value)
{
    QList<Shortcut> list;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> list;
    return list;
}

} // namespace

PortalShortcuts::PortalShortcuts(QDBusConnection bus, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_requests(m_bus, shortcutsInterface)
{
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
}

PortalShortcuts::~PortalShortcuts()
{
    // The portal forgets nothing bound when the session ends: closing only stops the signals.
    PortalRequest::closeSession(m_bus, m_session);
}

bool PortalShortcuts::isAvailable()
{
    if (m_available)
        return *m_available;
    if (!m_bus.isConnected()) {
        m_available = false;
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, desktopPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    // The portal may be started on demand by the bus: give it a moment.
    const QDBusMessage reply = m_bus.call(get, QDBus::Block, 5000);
    m_available = reply.type() == QDBusMessage::ReplyMessage;
    Log::write(QStringLiteral("global shortcuts portal ") +
               (*m_available ? QStringLiteral("found")
                             : QStringLiteral("not found: ") + reply.errorName()));
    return *m_available;
}

void PortalShortcuts::open()
{
    if (m_state == State::binding || m_state == State::bound || !isAvailable())
        return;
    setState(State::binding);
    // Slots taking the whole message: one naming the arguments' types fails to connect until
    // something else has registered those types with Qt.
    m_bus.connect(service, desktopPath, shortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
    m_bus.connect(service, desktopPath, shortcutsInterface, QStringLiteral("Deactivated"), this,
                  SLOT(onDeactivated(QDBusMessage)));
    m_bus.connect(service, desktopPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"),
                  this, SLOT(onShortcutsChanged(QDBusMessage)));
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), PortalRequest::token());
    request(QStringLiteral("CreateSession"), {}, options,
            [this](uint code, const QVariantMap &results) { sessionCreated(code, results); });
}

void PortalShortcuts::request(const QString &method, QList<QVariant> arguments, QVariantMap options,
                              Answer answer)
{
    m_requests.call(method, std::move(arguments), std::move(options), std::move(answer),
                    [this](const QDBusError &error) {
                        fail(tr("The desktop's shortcut service failed: %1").arg(error.message()));
                    });
}

void PortalShortcuts::sessionCreated(uint code, const QVariantMap &results)
{
    m_session = results.value(QStringLiteral("session_handle")).toString();
    if (code != 0 || m_session.isEmpty()) {
        m_session.clear();
        fail(tr("The desktop did not open a shortcut session."));
        return;
    }
    m_bus.connect(service, m_session, QStringLiteral("org.freedesktop.portal.Session"),
                  QStringLiteral("Closed"), this, SLOT(onSessionClosed(QVariantMap)));
    // A shortcut bound on an earlier start is still there: listing it asks the user nothing.
    request(QStringLiteral("ListShortcuts"), {QVariant::fromValue(QDBusObjectPath(m_session))}, {},
            [this](uint code, const QVariantMap &results) { listed(code, results); });
}

void PortalShortcuts::listed(uint code, const QVariantMap &results)
{
    const QVariant shortcuts = results.value(QStringLiteral("shortcuts"));
    if (code == 0) {
        for (const Shortcut &s : shortcutsFrom(shortcuts)) {
            if (s.id == shortcutId) {
                Log::write(QStringLiteral("global shortcut already bound"));
                takeShortcuts(shortcuts);
                return;
            }
        }
    }
    bindShortcut();
}

void PortalShortcuts::bindShortcut()
{
    Log::write(QStringLiteral("binding the global shortcut"));
    QVariantMap properties;
    properties.insert(QStringLiteral("description"), tr("Hold to talk (Vesk Voice)"));
    // A suggestion: the desktop and the user have the last word.
    properties.insert(QStringLiteral("preferred_trigger"), QStringLiteral("CTRL+ALT+space"));
    const QList<Shortcut> shortcuts{{shortcutId, properties}};
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
             QString()},
            {}, [this](uint code, const QVariantMap &results) {
                if (code != 0) {
                    fail(code == 1 ? tr("The shortcut was not set up in the desktop's dialog.")
                                   : tr("The desktop could not set up the shortcut."));
                    return;
                }
                takeShortcuts(results.value(QStringLiteral("shortcuts")));
            });
}

void PortalShortcuts::takeShortcuts(const QVariant &shortcuts)
{
    const QList<Shortcut> list = shortcutsFrom(shortcuts);
    for (const Shortcut &s : list) {
        if (s.id != shortcutId)
            continue;
        m_trigger = s.properties.value(QStringLiteral("trigger_description")).toString();
        m_problem.clear();
        Log::write(QStringLiteral("global shortcut bound to ") +
                   (m_trigger.isEmpty() ? QStringLiteral("no key yet") : m_trigger));
        m_keptNothing = false;
        setState(State::bound);
        Q_EMIT changed();
        return;
    }
    // KDE Plasma 5.27 answers a program without an application id (one not started from its
    // desktop file) so: a success that keeps nothing, and no key ever comes.
    Log::write(QStringLiteral("the global shortcuts portal took the shortcut but kept none (%1 in "
                              "its answer): the hold key must come another way")
                   .arg(list.size()));
    m_keptNothing = true;
    fail(tr("The desktop did not keep the shortcut."));
}

void PortalShortcuts::fail(const QString &problem)
{
    m_problem = problem;
    setState(State::failed);
    Q_EMIT changed();
}

void PortalShortcuts::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT changed();
}

bool PortalShortcuts::isOurs(const QDBusMessage &message) const
{
    // (o session, s shortcut, t timestamp, a{sv} options)
    const QVariantList arguments = message.arguments();
    return !m_session.isEmpty() && arguments.size() >= 2 &&
           arguments[0].value<QDBusObjectPath>().path() == m_session &&
           arguments[1].toString() == shortcutId;
}

void PortalShortcuts::onActivated(const QDBusMessage &message)
{
    if (isOurs(message))
        Q_EMIT pressed();
}

void PortalShortcuts::onDeactivated(const QDBusMessage &message)
{
    if (isOurs(message))
        Q_EMIT released();
}

void PortalShortcuts::onShortcutsChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].value<QDBusObjectPath>().path() != m_session ||
        m_session.isEmpty())
        return;
    // The user gave the shortcut another key in the desktop's settings.
    takeShortcuts(arguments[1]);
}

void PortalShortcuts::onSessionClosed(const QVariantMap &)
{
    Log::write(QStringLiteral("global shortcuts session closed by the desktop"));
    m_session.clear();
    m_trigger.clear();
    fail(tr("The desktop closed the shortcut session."));
}
