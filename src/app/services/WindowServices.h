#pragma once

#include "app/controller/DictationPorts.h"
#include "onboarding/GuideServices.h"
#include "ui/main/SettingsServices.h"

// The desktop behind the windows' requests: the recorder's microphones, the file manager, the
// browser and the desktop's settings pages.
namespace WindowServices {

SettingsServices settings(const RecorderPort &recorder);
// `wayland`: the session the platform loader found.
GuideServices guide(bool wayland);

} // namespace WindowServices
