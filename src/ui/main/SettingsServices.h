#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <utility>

// What the settings form asks of the rest of the program, handed in by the shell (tests hand in
// their own): the recorder's microphones and the file manager.
struct SettingsServices
{
    // (id, name) of every connected input, in the recorder's order.
    std::function<QList<std::pair<QString, QString>>()> inputs;
    // Shows the configuration file in the desktop's file manager.
    std::function<void(const QString &path)> revealFile;
};
