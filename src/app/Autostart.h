#pragma once

#include <QByteArray>
#include <QString>

// Starting with the desktop session: the XDG autostart entry that desktops read at login.
namespace Autostart {

// $XDG_CONFIG_HOME/autostart/vesk-voice.desktop (~/.config when the variable is unset or not an
// absolute path).
QString entryPath();

// The entry's text, starting `executable` (quoted as the desktop entry format asks).
QByteArray entry(const QString &executable);

// The program to start at login: the AppImage the process runs from, else its own executable.
QString currentExecutable();

// Writes the entry (atomically) or removes it. Returns whether the file is as asked afterwards.
bool enable(const QString &executable);
bool disable();

} // namespace Autostart
