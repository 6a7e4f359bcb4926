#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

// A mock desktop portal (a python3-dbusmock template of tests/desktop) on a private session bus.
class PortalMock
{
public:
    ~PortalMock();
    // Starts the bus and the portal; false (with a test failure recorded) when either does not.
    bool start(const QString &templateName);
    // A new connection is a new client of the portal, as the app is after a restart.
    QDBusConnection connect();
    // Calls a method of the template's org.freedesktop.portal.Mock interface.
    bool mock(const QString &method, const QVariantList &arguments = {});
    // The arguments of every call of the portal's method so far, oldest first.
    QList<QVariantList> calls(const QString &method);

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_portal;
    QString m_address;
    int m_connections = 0;
};
