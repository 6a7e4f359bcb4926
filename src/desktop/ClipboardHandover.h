#pragma once

#include "desktop/ClipboardReader.h"

#include <QString>

// A process's clipboard dies with it (on X11 and on Wayland alike). A short-lived one (the
// command line's paste) hands what it still offers on the clipboard and the primary selection to
// a process of its own in the background, which serves them, as clipboard tools do, until another
// client takes the selection.
namespace ClipboardHandover {

// Starts `program` with `arguments` and a file of the contents appended, then waits (a few
// seconds at most) until that process owns them. False when nothing was handed over.
bool handOver(ClipboardReader &reader, const QString &program, const QStringList &arguments);

// The background side: takes the file's contents onto the clipboards through `reader` and
// serves them until another client takes both; returns the exit code.
int serve(ClipboardReader &reader, const QString &file);

} // namespace ClipboardHandover
