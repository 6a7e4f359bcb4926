#include "PortalMock.h"

#include "TestSupport.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QtTest>

namespace {

const QString service = u"org.freedesktop.portal.Desktop"_s;
const QString path = u"/org/freedesktop/portal/desktop"_s;

} // namespace

PortalMock::~PortalMock()
{
    m_portal.kill();
    m_portal.waitForFinished();
    m_bus.kill();
    m_bus.waitForFinished();
}

bool PortalMock::start(const QString &templateName)
{
    m_bus.setProgram(u"dbus-daemon"_s);
    m_bus.setArguments({u"--session"_s, u"--nofork"_s, u"--print-address=1"_s,
                        u"--address=unix:path="_s + m_dir.path() + u"/bus"_s});
    m_bus.start();
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
    if (!m_portal.waitForStarted()) {
        QTest::qFail("the mock portal did not start", __FILE__, __LINE__);
        return false;
    }
    QDBusConnection probe = connect();
    QDeadlineTimer deadline(15000);
    while (!probe.interface()->isServiceRegistered(service)) {
        if (deadline.hasExpired() || m_portal.state() != QProcess::Running) {
            QTest::qFail("the mock portal did not come up", __FILE__, __LINE__);
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

QDBusConnection PortalMock::connect()
{
    return QDBusConnection::connectToBus(m_address, u"client%1"_s.arg(++m_connections));
}

bool PortalMock::mock(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, u"org.freedesktop.portal.Mock"_s, method);
    call.setArguments(arguments);
    return connect().call(call).type() == QDBusMessage::ReplyMessage;
}

QList<QVariantList> PortalMock::calls(const QString &method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, path, u"org.freedesktop.DBus.Mock"_s, u"GetMethodCalls"_s);
    call << method;
    const QDBusMessage reply = connect().call(call);
    QList<QVariantList> all;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return all;
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
