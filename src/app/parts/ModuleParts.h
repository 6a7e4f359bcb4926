#pragma once

#include "app/parts/OnDemand.h"

#include <memory>

class SoundPlayer;
class Updater;

// The on-demand parts themselves: the executable loads them from their module, the tests link
// them in.
class ModuleParts : public OnDemandParts
{
public:
    ModuleParts();
    ~ModuleParts() override;

    QList<Cli::Command> commands() override;
    std::unique_ptr<RecorderPort> recorder() override;
    std::unique_ptr<TranscriberPort> transcriber() override;
    std::optional<QString> trim(const QString &file, double keepSeconds) override;
    void playSound(const QString &name) override;
    std::unique_ptr<WindowsPort> windows(AppDelegate *controller, bool wayland, Save save) override;
    void checkForUpdates() override;

private:
    std::unique_ptr<SoundPlayer> m_sounds;
    std::unique_ptr<Updater> m_updater;
};
