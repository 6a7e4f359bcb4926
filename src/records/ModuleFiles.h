#pragma once

#include <QString>

// This program's modules: beside the executable in a build tree, in its library folder when
// installed.
namespace ModuleFiles {

// The build a module must have been made in to be used: the running executable's.
inline constexpr char build[] = VESK_VERSION "+" VESK_BUILD_NUMBER;

// The module's file; empty, with the reason in `error`, when it is not there.
QString path(const QString &name, QString *error);
// The module, loaded and kept until the process ends; a missing or broken one ends the process.
void *load(const QString &name);
// Ends the process over a module that cannot serve, saying why where the user and the log see
// it: nothing can listen, type, record or send without the modules.
[[noreturn]] void fail(const QString &message);
// Ends the process over a module of another build (a package upgraded under the running app).
[[noreturn]] void refuse(const QString &name);

} // namespace ModuleFiles
