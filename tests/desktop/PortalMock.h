#pragma once

#include "TestSupport.h"

#include <QtDBus>
#include <QtTest>

// A mock desktop portal (a python3-dbusmock template of tests/desktop) on a private session bus.
class PortalMock
{
public:
    ~PortalMock()
    {
        TestSupport::stop(m_portal);
        TestSupport::stop(m_bus);
    }

    // Starts the bus and the portal; false (with a test failure recorded) when either does not.
    bool start(const QString &templateName)
    {
        m_bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s,
                                       u"--address=unix:path="_s + m_dir.path() + u"/bus"_s});
        if (!m_bus.waitForReadyRead(10000)) {
            QTest::qFail("dbus-daemon did not start", __FILE__, __LINE__);
            return false;
        }
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_address);
        m_portal.setProcessEnvironment(env);
        // Its call log on standard output says nothing a failure would need.
        m_portal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_portal.setStandardOutputFile(QProcess::nullDevice());
        // The system's interpreter: python3-dbusmock is a Debian package.
        m_portal.start(u"/usr/bin/python3"_s,
                       {u"-m"_s, u"dbusmock"_s, u"--template"_s,
                        TestSupport::sourceDir() + u"/tests/desktop/"_s + templateName});
        QDBusConnection probe = connect();
        if (!QTest::qWaitFor(
                [&] {
                    return probe.interface()->isServiceRegistered(service) ||
                           m_portal.state() == QProcess::NotRunning;
                },
                15000) ||
            m_portal.state() == QProcess::NotRunning) {
            QTest::qFail("the mock portal did not come up", __FILE__, __LINE__);
            return false;
        }
        return true;
    }

    // A new connection is a new client of the portal, as the app is after a restart.
    QDBusConnection connect()
    {
        return QDBusConnection::connectToBus(m_address, u"client%1"_s.arg(++m_connections));
    }

    // Calls a method of the template's org.freedesktop.portal.Mock interface; its reply.
    QDBusMessage call(const QString &method, const QVariantList &arguments = {},
                      const QString &interface = u"org.freedesktop.portal.Mock"_s)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(arguments);
        return connect().call(call);
    }

    bool mock(const QString &method, const QVariantList &arguments = {})
    {
        return call(method, arguments).type() == QDBusMessage::ReplyMessage;
    }

    // The arguments of every call of the portal's method so far, oldest first.
    QList<QVariantList> calls(const QString &method)
    {
        const QDBusMessage reply =
            call(u"GetMethodCalls"_s, {method}, u"org.freedesktop.DBus.Mock"_s);
        QList<QVariantList> all;
        const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            qulonglong when = 0;
            QVariantList arguments;
            list.beginStructure();
            list >> when >> arguments;
            list.endStructure();
            all.append(arguments);
        }
        list.endArray();
        return all;
    }

private:
    inline static const QString service = u"org.freedesktop.portal.Desktop"_s;
    inline static const QString path = u"/org/freedesktop/portal/desktop"_s;
    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_portal;
    QString m_address;
    int m_connections = 0;
};
