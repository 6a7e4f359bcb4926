#include "TextClients.h"

#include "TestSupport.h"
#include "XTestInput.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

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

QProcessEnvironment TextClientProcess::onWayland(QProcessEnvironment env)
{
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    return env;
}

bool TextClientProcess::installed(Kind kind)
{
    switch (kind) {
    case Kind::chromium:
        return !QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty();
    case Kind::firefox:
        return !QStandardPaths::findExecutable(QStringLiteral("firefox-esr")).isEmpty();
    case Kind::xterm:
        return !QStandardPaths::findExecutable(QStringLiteral("xterm")).isEmpty();
    case Kind::foot:
        return !QStandardPaths::findExecutable(QStringLiteral("foot")).isEmpty();
    default:
        return true;
    }
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
    case Kind::chromium:
        return QStringLiteral("chromium");
    case Kind::firefox:
        return QStringLiteral("firefox-esr");
    case Kind::xterm:
        return QStringLiteral("xterm");
    case Kind::foot:
        return QStringLiteral("foot");
    }
    return {};
}

QString TextClientProcess::outputFile() const
{
    return m_dir.filePath(QStringLiteral("received.txt"));
}

bool TextClientProcess::onX11() const
{
    // Wayland clients have no X11 focus to wait for.
    return !m_env.value(QStringLiteral("DISPLAY")).isEmpty() &&
           m_env.value(QStringLiteral("QT_QPA_PLATFORM")) != QLatin1String("wayland") &&
           m_env.value(QStringLiteral("GDK_BACKEND")) != QLatin1String("wayland") &&
           m_kind != Kind::foot;
}

bool TextClientProcess::start()
{
    stop();
    const QString output = outputFile();
    QFile::remove(output);
    const QString scripts = TestSupport::sourceDir() + QStringLiteral("/tests/desktop/");
    // Raw input: every byte reaches the file as the terminal sends it, without a line end.
    const auto shell = [&output](const char *stty) {
        return QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                           QStringLiteral("stty %1; exec cat > \"$0\"").arg(QLatin1String(stty)),
                           output};
    };
    switch (m_kind) {
    case Kind::qt:
        m_process.start(TestSupport::binaryDir() + QStringLiteral("/tests/desktop/vesk_textclient"),
                        {output});
        break;
    case Kind::tk:
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {scripts + QStringLiteral("tk_textclient.py"), output});
        break;
    case Kind::gtk:
        m_process.start(scripts + QStringLiteral("gtk_textclient.py"), {output});
        break;
    case Kind::chromium:
    case Kind::firefox:
        m_process.start(scripts + QStringLiteral("browser_textclient.py"),
                        {output, m_kind == Kind::chromium ? QStringLiteral("chromium")
                                                          : QStringLiteral("firefox")});
        break;
    case Kind::xterm:
        m_process.start(QStringLiteral("xterm"),
                        QStringList{QStringLiteral("-e")} + shell("-icanon -echo"));
        break;
    case Kind::foot:
        m_process.start(QStringLiteral("foot"), shell("raw -echo"));
        break;
    }
    if (!m_process.waitForStarted())
        return false;
    const QDeadlineTimer deadline(60000);
    if (m_kind == Kind::xterm || m_kind == Kind::foot) {
        while (!QFile::exists(output) && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running)
            QTest::qWait(50);
        if (!QFile::exists(output))
            return false;
    } else {
        QByteArray said;
        while (!said.startsWith("ready") && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(100);
            said += m_process.readAllStandardOutput();
        }
        if (!said.startsWith("ready"))
            return false;
    }
    if (!onX11())
        return true;
    while (XTestInput::focusedClass() != instance() && !deadline.hasExpired())
        QTest::qWait(50);
    return XTestInput::focusedClass() == instance();
}

void TextClientProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString TextClientProcess::received() const
{
    return QString::fromUtf8(TestSupport::readFile(outputFile()));
}
