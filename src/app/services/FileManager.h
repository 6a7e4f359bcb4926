#pragma once

#include <QString>

// The desktop's file manager.
namespace FileManager {

// Opens a window of the file manager with `path` selected (the freedesktop FileManager1
// interface on the session bus, which Nautilus, Dolphin, Nemo, Caja and Thunar offer); where no
// file manager answers, opens the folder that holds it instead. Returns at once.
void reveal(const QString &path);

} // namespace FileManager
