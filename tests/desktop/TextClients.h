#pragma once

#include <QMetaType>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

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
        Kind kind, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    ~TextClientProcess();
    TextClientProcess(const TextClientProcess &) = delete;
    TextClientProcess &operator=(const TextClientProcess &) = delete;

    // The environment with Qt and GTK clients put on the Wayland display.
    static QProcessEnvironment
    onWayland(QProcessEnvironment env = QProcessEnvironment::systemEnvironment());
    // Whether the program for this kind is installed (the browsers and terminals may not be).
    static bool installed(Kind kind);

    // Starts it and waits until its field has the keyboard focus (under X11: until the X server
    // says so too; a terminal: until its shell has opened the file). False when it did not get
    // there in time (a browser may take a minute).
    bool start();
    // Asks it to end (the browser script then ends its browser), and kills it if it does not.
    void stop();
    // What the field holds now; the file is not there before the first change.
    QString received() const;
    QString outputFile() const;
    // The window's X11 instance name ("vesk_tkclient").
    QString instance() const;

private:
    bool onX11() const;

    Kind m_kind;
    QProcessEnvironment m_env;
    QTemporaryDir m_dir;
    QProcess m_process;
};

Q_DECLARE_METATYPE(TextClientProcess::Kind)
