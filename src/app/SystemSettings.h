#pragma once

// Opens the desktop's own settings pages where a known command exists; otherwise does nothing.
namespace SystemSettings {

enum class Pane
{
    microphone,
    accessibility
};

// Returns whether a settings program was started.
bool open(Pane pane);

} // namespace SystemSettings
