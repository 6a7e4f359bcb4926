#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A window of another program with one text field that receives the insertions: the Qt client
// (vesk_textclient), Tk or GTK. It writes what the field holds to a file after each change.
class TextClientProcess
{
public:
    enum class Kind
    {
        qt,
        tk,
        gtk
    };

    explicit TextClientProcess(
        Kind kind, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    ~TextClientProcess();
    TextClientProcess(const TextClientProcess &) = delete;
    TextClientProcess &operator=(const TextClientProcess &) = delete;

    // Starts it and waits until its field has the keyboard focus (under X11: until the X server
    // says so too). False when it did not get there within 30 seconds.
    bool start();
    void stop();
    // What the field holds now.
    QString received() const;
    // The window's X11 instance name ("vesk_tkclient").
    QString instance() const;

private:
    Kind m_kind;
    QProcessEnvironment m_env;
    QTemporaryDir m_dir;
    QProcess m_process;
};
