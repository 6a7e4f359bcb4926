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
    // The recorder's display name for an input id.
    std::function<QString(const QString &id)> inputName;
    // Shows the configuration file in the desktop's file manager.
    std::function<void(const QString &path)> revealFile;
};
