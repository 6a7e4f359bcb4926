#pragma once

#include <QString>
#include <QStringList>

// What the settings form and the guide say about the hold-to-talk key where the desktop decides
// how it reaches the app (Wayland): the way in use and what the user must do. Empty on X11, where
// the app sees the key itself.
struct HoldKeyAdvice
{
    // One sentence: the way in use and its state; translated.
    QString summary;
    // What to do, when anything; translated.
    QString action;
    // The key the desktop assigned, when it chose one (it then stands for the hotkey picked).
    QString key;
    // Lines to copy into a configuration file, when the way needs them.
    QStringList lines;
    // Whether the hold key works as things stand.
    bool ready = false;
    // Whether reading the keyboard devices is a choice worth offering here.
    bool offerInputDevices = false;

    bool isEmpty() const { return summary.isEmpty(); }
    bool operator==(const HoldKeyAdvice &) const = default;
};
