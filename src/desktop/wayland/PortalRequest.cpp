#include "desktop/wayland/PortalRequest.h"

#include "records/Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QHash>
#include <QPointer>
#include <utility>

namespace {

// Receives the Response of one Request object, then goes.
class Responder : public QObject
{
    Q_OBJECT

public:
    Responder(PortalRequest::Answer answer, QObject *parent)
        : QObject(parent), m_answer(std::move(answer))
    {}

public Q_SLOTS:
    void response(uint code, const QVariantMap &results)
    {
        deleteLater();
        if (m_answer)
            std::exchange(m_answer, nullptr)(code, results);
    }

private:
    PortalRequest::Answer m_answer;
};

// Per connection: whether the program has named itself to the portal, and the calls waiting
// for that.
struct Registration
{
    bool done = false;
    QList<std::pair<QPointer<QObject>, std::function<void()>>> waiting;
};

QHash<QString, Registration> &registrations()
{
    static QHash<QString, Registration> all;
    return all;
}

void afterRegistration(QDBusConnection bus, QObject *context, std::function<void()> next)
{
    Registration &registration = registrations()[bus.name()];
    if (registration.done) {
        next();
        return;
    }
    const bool first = registration.waiting.isEmpty();
    registration.waiting.append({QPointer<QObject>(context), std::move(next)});
    if (!first)
        return;
    // A program outside a sandbox names itself (by its desktop file) before any portal call, so
    // that the desktop keeps what it allows under that name. Portals before 1.19 do not know the
    // call, and a second registration on the same connection fails: both change nothing here.
    QDBusMessage call = QDBusMessage::createMethodCall(
        PortalRequest::service, PortalRequest::desktopPath,
        QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    call << QStringLiteral("vesk-voice") << QVariantMap();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    const QString name = bus.name();
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, name] {
        watcher->deleteLater();
        if (watcher->isError())
            Log::write(QStringLiteral("portal registry: ") + watcher->error().name());
        Registration &registration = registrations()[name];
        registration.done = true;
        for (auto &[context, next] : std::exchange(registration.waiting, {}))
            if (context)
                next();
    });
}

} // namespace

PortalRequest::PortalRequest(QDBusConnection bus, QString interface, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_interface(std::move(interface))
{}

QString PortalRequest::token()
{
    // One counter for every client in the process: request paths are per connection.
    static int count = 0;
    return QStringLiteral("vesk%1").arg(++count);
}

void PortalRequest::closeSession(QDBusConnection bus, const QString &session)
{
    if (session.isEmpty())
        return;
    bus.call(
        QDBusMessage::createMethodCall(service, session, sessionInterface, QStringLiteral("Close")),
        QDBus::NoBlock);
}

void PortalRequest::call(const QString &method, QList<QVariant> arguments, QVariantMap options,
                         Answer answer, Failure failure)
{
    afterRegistration(m_bus, this,
                      [this, method, arguments = std::move(arguments), options = std::move(options),
                       answer = std::move(answer), failure = std::move(failure)]() mutable {
                          send(method, std::move(arguments), std::move(options), std::move(answer),
                               std::move(failure));
                      });
}

void PortalRequest::send(const QString &method, QList<QVariant> arguments, QVariantMap options,
                         Answer answer, Failure failure)
{
    // The Request object's path is known before the call, so its Response cannot be missed.
    const QString token = PortalRequest::token();
    QString sender = m_bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    const QString path = desktopPath + QStringLiteral("/request/") + sender + u'/' + token;
    auto *responder = new Responder(std::move(answer), this);
    m_bus.connect(service, path, QStringLiteral("org.freedesktop.portal.Request"),
                  QStringLiteral("Response"), responder, SLOT(response(uint, QVariantMap)));
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    QDBusMessage call = QDBusMessage::createMethodCall(service, desktopPath, m_interface, method);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    const QPointer<Responder> pending(responder);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [watcher, pending, method, failure = std::move(failure), this] {
                watcher->deleteLater();
                if (!watcher->isError())
                    return;
                if (pending)
                    pending->deleteLater();
                Log::write(m_interface.section(u'.', -1) + u' ' + method +
                           QStringLiteral(" failed: ") + watcher->error().name());
                if (failure)
                    failure(watcher->error());
            });
}

#include "PortalRequest.moc"
