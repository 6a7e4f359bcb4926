#include "app/parts/OnDemand.h"

#include "records/ModuleFiles.h"

#include <dlfcn.h>

namespace {

constexpr char moduleName[] = "vesk-voice-parts.so";

} // namespace

OnDemand::OnDemand() = default;

OnDemand::OnDemand(std::unique_ptr<OnDemandParts> parts) : m_parts(std::move(parts)) {}

OnDemand::~OnDemand() = default;

QString OnDemand::modulePath(QString *error)
{
    return ModuleFiles::path(QLatin1String(moduleName), error);
}

OnDemandParts &OnDemand::get()
{
    if (m_parts)
        return *m_parts;
    void *module = ModuleFiles::load(QLatin1String(moduleName));
    const auto entry =
        reinterpret_cast<OnDemandEntry>(::dlsym(module, QT_STRINGIFY(VESK_ON_DEMAND_ENTRY)));
    OnDemandParts *parts = entry ? entry(onDemandBuild) : nullptr;
    // A package upgrade replaces the module under a running app.
    if (!parts)
        ModuleFiles::fail(
            QStringLiteral("%1 belongs to another version of Vesk Voice: start it again")
                .arg(modulePath(nullptr)));
    m_parts.reset(parts);
    return *m_parts;
}
