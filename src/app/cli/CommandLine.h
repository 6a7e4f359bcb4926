#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <QStringList>

struct Config;

// The command-line face of the app: every command runs the same code as the desktop app.
namespace Cli {

struct Command
{
    QString name;
    QString usage;   // e.g. "transcribe FILE"
    QString summary; // one line for --help
    bool needsGui = false;
    // Gets the arguments after the command name; runs inside the application object the command
    // asked for and returns the exit code.
    int (*run)(const QStringList &args) = nullptr;
};

// Each group has a file of its own in this folder (TranscriptionCommands.cpp and so on); the
// commands call the libraries the desktop app uses. These three live in the on-demand parts.
QList<Command> transcriptionCommands();
QList<Command> audioCommands();
QList<Command> desktopCommands();
// Requests to the running app; each exits 1 when no app runs on the data folder. They live in
// the executable.
QList<Command> controlCommands();

// Prints "vesk-voice: <message>" and a hint on standard error; returns the usage exit code 2.
int usageError(const QString &message);
// Prints a line on standard output or standard error (UTF-8).
void out(const QString &text, bool newline = true);
void err(const QString &text);

// The settings for a command; when config.json could not be read, says so once on standard error.
Config settings();

// Runs the command named by the arguments, asking `partsCommands` (which loads the on-demand
// parts) only for a command that is not the running app's. Returns nothing when there are no
// arguments: the desktop app starts then.
std::optional<int> run(int argc, char **argv, const std::function<QList<Command>()> &partsCommands);

} // namespace Cli
