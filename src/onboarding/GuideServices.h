#pragma once

#include "records/HotkeyKind.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

// Microphone authorisation as the guide shows it.
enum class MicStatus
{
    notDetermined,
    restricted,
    denied,
    authorized
};

// What the guide asks of the rest of the program, handed in by the shell (tests hand in their
// own): the microphone permission, the desktop's settings pages, the hotkey labels, the browser.
struct GuideServices
{
    std::function<MicStatus()> micStatus;
    // Asks for microphone access; the answer comes later on the main thread.
    std::function<void(std::function<void()> answered)> requestMicrophone;
    std::function<void()> promptForTrust;
    std::function<void()> openMicrophoneSettings;
    std::function<void()> openAccessibilitySettings;
    std::function<QString(HotkeyKind)> hotkeyLabel;
    std::function<void(const QUrl &)> openUrl;
    // Listens to a microphone (its id; empty for the system default) for as long as `owner`
    // lives, reporting its level from 0 to 1 many times a second. False when it cannot listen.
    std::function<bool(const QString &deviceID, QObject *owner, std::function<void(double)> level)>
        listenToMicrophone;
    // Whether the desktop runs a Wayland session (where keyboard access cannot arrive later).
    std::function<bool()> waylandSession;
};
