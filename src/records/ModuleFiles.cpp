#include "records/ModuleFiles.h"

#include "records/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

QString ModuleFiles::path(const QString &name, QString *error)
{
    // Not QCoreApplication::applicationDirPath(): a command asks before any application object.
    const QString folder = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
    const QStringList candidates{
        folder + QLatin1Char('/') + name,
        QDir::cleanPath(folder + QStringLiteral("/" VESK_MODULE_RELATIVE_DIR "/") + name)};
    for (const QString &path : candidates) {
        if (QFileInfo(path).isFile())
            return path;
    }
    if (error)
        *error =
            QStringLiteral("the installation is incomplete: %1 is missing").arg(candidates.last());
    return {};
}

void *ModuleFiles::load(const QString &name)
{
    QString error;
    const QString file = path(name, &error);
    if (file.isEmpty())
        fail(error);
    // Never closed: its code runs until the process ends.
    void *module = ::dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        fail(QStringLiteral("cannot load %1: %2").arg(file, QString::fromLocal8Bit(::dlerror())));
    return module;
}

void ModuleFiles::refuse(const QString &name)
{
    fail(QStringLiteral("%1 belongs to another version of Vesk Voice: start it again")
             .arg(path(name, nullptr)));
}

void ModuleFiles::fail(const QString &message)
{
    std::fprintf(stderr, "vesk-voice: %s\n", qUtf8Printable(message));
    Log::write(message);
    Log::flush();
    std::_Exit(1);
}
