#pragma once

#include "TestSupport.h"
#include "XTestInput.h"

#include <QtTest>

// A window of another program with one text field that receives the insertions: the Qt client
// (vesk_textclient), Tk, GTK, a text area in Chromium or Firefox, or a terminal (xterm, foot)
// whose shell copies every byte it gets to the file. The field's contents go to a file after
// each change.
class TextClientProcess
{
public:
    enum class Kind
    {
        qt,
        tk,
        gtk,
        chromium,
        firefox,
        xterm,
        foot
    };

    explicit TextClientProcess(
        Kind kind, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
        : m_kind(kind), m_env(env)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setProcessEnvironment(m_env);
    }
    ~TextClientProcess() { stop(); }
    TextClientProcess(const TextClientProcess &) = delete;
    TextClientProcess &operator=(const TextClientProcess &) = delete;

    // The environment with Qt and GTK clients put on the Wayland display.
    static QProcessEnvironment
    onWayland(QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
    {
        env.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
        env.insert(u"GDK_BACKEND"_s, u"wayland"_s);
        return env;
    }

    // Whether the program for this kind is installed (the browsers and terminals may not be,
    // and are programs of their instance's name).
    static bool installed(Kind kind)
    {
        return kind < Kind::chromium ||
               !QStandardPaths::findExecutable(QString::fromLatin1(instances[int(kind)])).isEmpty();
    }

    // Starts it and waits until its field has the keyboard focus (under X11: until the X server
    // says so too; a terminal: until its shell has opened the file). False when it did not get
    // there in time (a browser may take a minute).
    bool start()
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
            m_process.start(TestSupport::binaryDir() + u"/tests/desktop/vesk_textclient"_s,
                            {output});
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
        const auto ready = [&] {
            said += m_process.readAllStandardOutput();
            return terminal ? QFile::exists(output) : said.startsWith("ready");
        };
        if (!QTest::qWaitFor([&] { return ready() || m_process.state() != QProcess::Running; },
                             60000) ||
            !ready())
            return false;
        // Wayland clients have no X11 focus to wait for.
        if (m_env.value(u"DISPLAY"_s).isEmpty() ||
            m_env.value(u"QT_QPA_PLATFORM"_s) == "wayland"_L1 ||
            m_env.value(u"GDK_BACKEND"_s) == "wayland"_L1 || m_kind == Kind::foot)
            return true;
        return QTest::qWaitFor([this] { return XTestInput::focusedClass() == instance(); },
                               int(deadline.remainingTime()));
    }

    // Asks it to end (the browser script then ends its browser), and kills it if it does not.
    void stop() { TestSupport::stop(m_process, 5000); }

    // What the field holds now; the file is not there before the first change.
    QString received() const { return QString::fromUtf8(TestSupport::readFile(outputFile())); }
    QString outputFile() const { return m_dir.filePath(u"received.txt"_s); }
    // The window's X11 instance name ("vesk_tkclient").
    QString instance() const { return QString::fromLatin1(instances[int(m_kind)]); }

private:
    // Each kind's X11 instance name, in the order of the kinds.
    static constexpr const char *instances[] = {
        "vesk_textclient", "vesk_tkclient", "gtk_textclient.py", "chromium", "firefox-esr",
        "xterm",           "foot"};
    static_assert(std::size(instances) == size_t(Kind::foot) + 1);

    Kind m_kind;
    QProcessEnvironment m_env;
    QTemporaryDir m_dir;
    QProcess m_process;
};

Q_DECLARE_METATYPE(TextClientProcess::Kind)

// A small picture in PNG (one red pixel), as the user may have copied one.
inline QByteArray pngPicture()
{
    return QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4z8AA"
                                  "AAMBAQDJ/pLvAAAAAElFTkSuQmCC");
}
