#include "TextClients.h"

#include "TestSupport.h"
#include "XTestInput.h"

#include <QDeadlineTimer>
#include <QFile>

TextClientProcess::TextClientProcess(Kind kind, const QProcessEnvironment &env)
    : m_kind(kind), m_env(env)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setProcessEnvironment(m_env);
}

TextClientProcess::~TextClientProcess()
{
    stop();
}

QString TextClientProcess::instance() const
{
    switch (m_kind) {
    case Kind::qt:
        return QStringLiteral("vesk_textclient");
    case Kind::tk:
        return QStringLiteral("vesk_tkclient");
    case Kind::gtk:
        return QStringLiteral("gtk_textclient.py");
    }
    return {};
}

bool TextClientProcess::start()
{
    stop();
    const QString output = m_dir.filePath(QStringLiteral("received.txt"));
    QFile::remove(output);
    switch (m_kind) {
    case Kind::qt:
        m_process.start(TestSupport::binaryDir() + QStringLiteral("/tests/desktop/vesk_textclient"),
                        {output});
        break;
    case Kind::tk:
        m_process.start(
            QStringLiteral("/usr/bin/python3"),
            {TestSupport::sourceDir() + QStringLiteral("/tests/desktop/tk_textclient.py"), output});
        break;
    case Kind::gtk:
        m_process.start(TestSupport::sourceDir() +
                            QStringLiteral("/tests/desktop/gtk_textclient.py"),
                        {output});
        break;
    }
    if (!m_process.waitForStarted())
        return false;
    const QDeadlineTimer deadline(30000);
    QByteArray said;
    while (!said.startsWith("ready") && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(100);
        said += m_process.readAllStandardOutput();
    }
    if (!said.startsWith("ready"))
        return false;
    // Wayland clients have no X11 focus to wait for.
    if (qEnvironmentVariableIsEmpty("DISPLAY") ||
        m_env.value(QStringLiteral("QT_QPA_PLATFORM")) == QLatin1String("wayland"))
        return true;
    while (XTestInput::focusedClass() != instance() && !deadline.hasExpired())
        QTest::qWait(50);
    return XTestInput::focusedClass() == instance();
}

void TextClientProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}

QString TextClientProcess::received() const
{
    QFile f(m_dir.filePath(QStringLiteral("received.txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
