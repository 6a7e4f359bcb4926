#include "app/services/WindowServices.h"

#include "app/controller/AppDelegate.h"
#include "app/services/FileManager.h"
#include "audio/MicrophoneLevel.h"
#include "desktop/HotkeyKindInfo.h"
#include "app/SystemSettings.h"

#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

namespace WindowServices {

SettingsServices settings(const RecorderPort &recorder)
{
    SettingsServices s;
    s.inputs = [&recorder] { return recorder.inputs(); };
    s.revealFile = [](const QString &path) { FileManager::reveal(path); };
    return s;
}

GuideServices guide(bool wayland)
{
    GuideServices s;
    // Linux asks no per-application microphone permission.
    s.micStatus = [] { return MicStatus::authorized; };
    s.requestMicrophone = [](std::function<void()> answered) {
        QTimer::singleShot(0, [answered = std::move(answered)] {
            if (answered)
                answered();
        });
    };
    // X11 has no permission dialog to raise.
    s.promptForTrust = [] {};
    s.openMicrophoneSettings = [] { SystemSettings::open(SystemSettings::Pane::microphone); };
    s.openAccessibilitySettings = [] { SystemSettings::open(SystemSettings::Pane::accessibility); };
    s.hotkeyLabel = [](HotkeyKind kind) { return HotkeyKindInfo::label(kind); };
    s.openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    s.listenToMicrophone = [](const QString &deviceID, QObject *owner,
                              std::function<void(double)> level) {
        auto *listener = new MicrophoneLevel(deviceID, owner);
        QObject::connect(listener, &MicrophoneLevel::levelChanged, owner,
                         [level](float decibels) { level(AppDelegate::levelFor(decibels)); });
        return listener->listening();
    };
    s.waylandSession = [wayland] { return wayland; };
    return s;
}

} // namespace WindowServices
