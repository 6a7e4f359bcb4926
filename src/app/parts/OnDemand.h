#pragma once

#include "app/cli/CommandLine.h"
#include "app/controller/DictationPorts.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class AppDelegate;

// The main window and the first-run guide, and the insert action of the history.
class WindowsPort
{
public:
    enum class Tab
    {
        history,
        settings
    };
    virtual ~WindowsPort() = default;
    // Made on first request and kept; the tab only applies to a new window.
    virtual void openMainWindow(Tab tab) = 0;
    virtual void openOnboarding() = 0;
    // The text at the cursor of the app the user was in.
    virtual void insert(const QString &text) = 0;
};

// Everything that needs the audio system, the network or the sound-file codecs: the recorder,
// the transcription requests, the trimming, the sounds, the windows built on them, the update
// check and most of the command line. It lives in a module that is loaded on first use, so that the
// idle tray app maps none of those libraries (Qt Multimedia, Qt Network, PulseAudio,
// libsndfile with its codecs: some 3.5 MB, and their loading time at every launch).
class OnDemandParts
{
public:
    virtual ~OnDemandParts() = default;
    // The command line's commands other than those to the running app.
    virtual QList<Cli::Command> commands() = 0;
    virtual std::unique_ptr<RecorderPort> recorder() = 0;
    virtual std::unique_ptr<TranscriberPort> transcriber() = 0;
    virtual std::optional<QString> trim(const QString &file, double keepSeconds) = 0;
    virtual void playSound(const QString &name) = 0;
    using Save = std::function<void(const Config &)>;
    // `wayland`: the guide's pages speak of a Wayland session.
    virtual std::unique_ptr<WindowsPort> windows(AppDelegate *controller, bool wayland,
                                                 Save save) = 0;
    virtual void checkForUpdates() = 0;
};

// The parts, loaded on first use and kept until this goes (before the application object, so
// that their windows and sounds go first).
class OnDemand
{
public:
    // From the module beside the executable (or in its installed library folder).
    OnDemand();
    // Parts already at hand (linked in, as the tests do).
    explicit OnDemand(std::unique_ptr<OnDemandParts> parts);
    ~OnDemand();
    OnDemand(const OnDemand &) = delete;
    OnDemand &operator=(const OnDemand &) = delete;

    OnDemandParts &get();
    bool loaded() const { return m_parts != nullptr; }

    // The module's file; empty, with the reason in `error`, when it is not there (a broken
    // installation is told at launch, not at the first dictation).
    static QString modulePath(QString *error);

private:
    std::unique_ptr<OnDemandParts> m_parts;
};

// The function the module exports: a new OnDemandParts, or none when `build` is not the build
// the module was made in (ModuleFiles::build).
#define VESK_ON_DEMAND_ENTRY vesk_on_demand_parts
using OnDemandEntry = OnDemandParts *(*)(const char *build);
