#pragma once

#include <QDBusConnection>
#include <QDBusError>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <functional>

// The desktop portal's calling convention, shared by the portal clients: a method returns the
// path of a Request object at once, and its answer comes later as that object's Response signal.
class PortalRequest : public QObject
{
    Q_OBJECT

public:
    static inline const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
    static inline const QString desktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
    static inline const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

    // The response code (0 granted, 1 cancelled by the user, 2 other) and the results.
    using Answer = std::function<void(uint code, const QVariantMap &results)>;
    // The call itself failed (no such portal or method, a bad argument).
    using Failure = std::function<void(const QDBusError &error)>;

    PortalRequest(QDBusConnection bus, QString interface, QObject *parent = nullptr);

    // Calls the interface's method; `options` is its last argument, where the request's token
    // goes. The first call on a connection waits until this program has named itself to the
    // portal. Exactly one of answer and failure is called, unless this object goes first.
    void call(const QString &method, QList<QVariant> arguments, QVariantMap options, Answer answer,
              Failure failure);
    // A token for a session handle, unique on the connection.
    static QString token();
    // Asks the portal to close the session; nothing waits for the answer.
    static void closeSession(QDBusConnection bus, const QString &session);

    QDBusConnection bus() const { return m_bus; }

private:
    void send(const QString &method, QList<QVariant> arguments, QVariantMap options, Answer answer,
              Failure failure);

    QDBusConnection m_bus;
    QString m_interface;
};
