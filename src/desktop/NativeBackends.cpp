#include "desktop/NativeBackends.h"

#include "records/ModuleFiles.h"

#include <QString>
#include <cstring>

namespace {

constexpr char moduleName[] = "vesk-voice-desktop.so";

// Set as the backends' code is loaded, when it is of this build.
NativeBackends::Make &provided()
{
    static NativeBackends::Make make = nullptr;
    return make;
}

} // namespace

bool NativeBackends::provide(const char *build, Make make)
{
    if (std::strcmp(build, ModuleFiles::build) != 0)
        return false;
    provided() = make;
    return true;
}

QString NativeBackends::modulePath(QString *error)
{
    return ModuleFiles::path(QLatin1String(moduleName), error);
}

NativeBackends &NativeBackends::get()
{
    static const std::unique_ptr<NativeBackends> backends = [] {
        // Loading the module runs its call to provide().
        if (!provided())
            ModuleFiles::load(QLatin1String(moduleName));
        if (!provided())
            ModuleFiles::refuse(QLatin1String(moduleName));
        return provided()();
    }();
    return *backends;
}
