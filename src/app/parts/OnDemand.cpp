#include "app/parts/OnDemand.h"

#include "records/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

namespace {

constexpr char moduleName[] = "vesk-voice-parts.so";

QString executableFolder()
{
    // Not QCoreApplication::applicationDirPath(): a command asks before any application object.
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
}

[[noreturn]] void fail(const QString &message)
{
    // Nothing can record or send without the module: say so where the user and the log see it.
    std::fprintf(stderr, "vesk-voice: %s\n", qUtf8Printable(message));
    Log::write(message);
    Log::flush();
    std::_Exit(1);
}

} // namespace

OnDemand::OnDemand() = default;

OnDemand::OnDemand(std::unique_ptr<OnDemandParts> parts) : m_parts(std::move(parts)) {}

OnDemand::~OnDemand() = default;

QString OnDemand::modulePath(QString *error)
{
    // Beside the executable in a build tree; in the installed library folder otherwise.
    const QString folder = executableFolder();
    const QStringList candidates{folder + QLatin1Char('/') + QLatin1String(moduleName),
                                 QDir::cleanPath(folder +
                                                 QStringLiteral("/" VESK_PARTS_RELATIVE_DIR "/") +
                                                 QLatin1String(moduleName))};
    for (const QString &path : candidates) {
        if (QFileInfo(path).isFile())
            return path;
    }
    if (error)
        *error =
            QStringLiteral("the installation is incomplete: %1 is missing").arg(candidates.last());
    return {};
}

OnDemandParts &OnDemand::get()
{
    if (m_parts)
        return *m_parts;
    QString error;
    const QString path = modulePath(&error);
    if (path.isEmpty())
        fail(error);
    // Never closed: its code runs until the process ends.
    void *module = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        fail(QStringLiteral("cannot load %1: %2").arg(path, QString::fromLocal8Bit(::dlerror())));
    const auto entry =
        reinterpret_cast<OnDemandEntry>(::dlsym(module, QT_STRINGIFY(VESK_ON_DEMAND_ENTRY)));
    OnDemandParts *parts = entry ? entry(onDemandBuild) : nullptr;
    // A package upgrade replaces the module under a running app.
    if (!parts)
        fail(QStringLiteral("%1 belongs to another version of Vesk Voice: start it again")
                 .arg(path));
    m_parts.reset(parts);
    return *m_parts;
}
