#include "DataFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace DataFiles {

bool ensureFolder(const QString &path)
{
    QDir dir(path);
    if (dir.exists())
        return true;
    if (!dir.mkpath(QStringLiteral(".")))
        return false;
    QFile::setPermissions(dir.absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

bool writeAtomically(const QString &path, const QByteArray &bytes,
                     std::optional<QFileDevice::Permissions> permissions)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (permissions)
        file.setPermissions(*permissions);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString setAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target =
            path + QStringLiteral(".unreadable-") + stamp + QLatin1Char('-') + QString::number(n);
    return QFile::rename(path, target) ? target : QString();
}

void setAsideIfUnreadable(const QString &path, bool (*decodes)(const QByteArray &))
{
    if (!QFileInfo::exists(path))
        return;
    QFile existing(path);
    const bool readable = existing.open(QIODevice::ReadOnly) && decodes(existing.readAll());
    existing.close();
    if (!readable)
        setAside(path);
}

} // namespace DataFiles
