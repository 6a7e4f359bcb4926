#include "TextClients.h"

#include "TestSupport.h"
#include "XTestInput.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

namespace {

// Each kind's X11 instance name, in the order of the kinds.
const char *const instances[] = {
    "vesk_textclient", "vesk_tkclient", "gtk_textclient.py", "chromium", "firefox-esr",
    "xterm",           "foot"};
static_assert(std::size(instances) == size_t(TextClientProcess::Kind::foot) + 1);

} // namespace

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
    env.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
    env.insert(u"GDK_BACKEND"_s, u"wayland"_s);
    return env;
}

bool TextClientProcess::installed(Kind kind)
{
    // The browsers and the terminals are programs of their instance's name.
    return kind < Kind::chromium ||
           !QStandardPaths::findExecutable(QString::fromLatin1(instances[int(kind)])).isEmpty();
}

QString TextClientProcess::instance() const
{
    return QString::fromLatin1(instances[int(m_kind)]);
}

QString TextClientProcess::outputFile() const
{
    return m_dir.filePath(u"received.txt"_s);
}

bool TextClientProcess::onX11() const
{
    // Wayland clients have no X11 focus to wait for.
    return !m_env.value(u"DISPLAY"_s).isEmpty() &&
           m_env.value(u"QT_QPA_PLATFORM"_s) != "wayland"_L1 &&
           m_env.value(u"GDK_BACKEND"_s) != "wayland"_L1 && m_kind != Kind::foot;
}

bool TextClientProcess::start()
{
    stop();
    const QString output = outputFile();
    QFile::remove(output);
    const QString scripts = TestSupport::sourceDir() + u"/tests/desktop/"_s;
    // Raw input: every byte reaches the file as the terminal sends it, without a line end.
    const auto shell = [&output](const char *stty) {
        return QStringList{u"sh"_s, u"-c"_s,
                           u"stty %1; exec cat > \"$0\""_s.arg(QLatin1String(stty)), output};
    };
    switch (m_kind) {
    case Kind::qt:
        m_process.start(TestSupport::binaryDir() + u"/tests/desktop/vesk_textclient"_s, {output});
        break;
    case Kind::tk:
        m_process.start(u"/usr/bin/python3"_s, {scripts + u"tk_textclient.py"_s, output});
        break;
    case Kind::gtk:
        m_process.start(scripts + u"gtk_textclient.py"_s, {output});
        break;
    case Kind::chromium:
    case Kind::firefox:
        m_process.start(scripts + u"browser_textclient.py"_s,
                        {output, m_kind == Kind::chromium ? u"chromium"_s : u"firefox"_s});
        break;
    case Kind::xterm:
        m_process.start(u"xterm"_s, QStringList{u"-e"_s} + shell("-icanon -echo"));
        break;
    case Kind::foot:
        m_process.start(u"foot"_s, shell("raw -echo"));
        break;
    }
    if (!m_process.waitForStarted())
        return false;
    const QDeadlineTimer deadline(60000);
    // A terminal is there once its shell has opened the file; the other clients say "ready".
    const bool terminal = m_kind == Kind::xterm || m_kind == Kind::foot;
    QByteArray said;
    const auto ready = [&] { return terminal ? QFile::exists(output) : said.startsWith("ready"); };
    while (!ready() && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (terminal)
            QTest::qWait(50);
        else if (m_process.waitForReadyRead(100))
            said += m_process.readAllStandardOutput();
    }
    if (!ready())
        return false;
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
