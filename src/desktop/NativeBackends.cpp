#include "desktop/NativeBackends.h"

#include "records/ModuleFiles.h"

#include <QString>
#include <cstring>

namespace {

constexpr char moduleName[] = "vesk-voice-desktop.so";
constexpr char thisBuild[] = VESK_VERSION "+" VESK_BUILD_NUMBER;

struct Provided
{
    NativeBackends::Make make = nullptr;
    // The first build offered that is not this one (a module left by an upgrade).
    QString foreignBuild;
};

Provided &provided()
{
    static Provided p;
    return p;
}

} // namespace

bool NativeBackends::provide(const char *build, Make make)
{
    if (std::strcmp(build, thisBuild) != 0) {
        provided().foreignBuild = QString::fromUtf8(build);
        return false;
    }
    provided().make = make;
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
        if (!provided().make)
            ModuleFiles::load(QLatin1String(moduleName));
        if (!provided().make)
            ModuleFiles::fail(
                QStringLiteral("%1 belongs to another version of Vesk Voice (%2): start it again")
                    .arg(modulePath(nullptr), provided().foreignBuild));
        return provided().make();
    }();
    return *backends;
}
