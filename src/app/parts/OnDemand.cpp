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
    OnDemandParts *parts = entry ? entry(ModuleFiles::build) : nullptr;
    // A package upgrade replaces the module under a running app.
    if (!parts)
        ModuleFiles::refuse(QLatin1String(moduleName));
    m_parts.reset(parts);
    return *m_parts;
}
