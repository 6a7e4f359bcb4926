#pragma once

#include "DictationPorts.h"
#include "GuideServices.h"
#include "SettingsServices.h"

// The desktop behind the windows' requests: the recorder's microphones, the file manager, the
// browser and the desktop's settings pages.
namespace WindowServices {

SettingsServices settings(const RecorderPort &recorder);
// `wayland`: the session the platform loader found.
GuideServices guide(bool wayland);

} // namespace WindowServices
