#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace TestSupport {

QString isolateDataDir()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.path() + QStringLiteral("/data");
        qputenv("VESK_DATA_DIR", QFile::encodeName(p));
        return p;
    }();
    return path;
}

bool strict()
{
    return !qEnvironmentVariableIsEmpty("VESK_TEST_STRICT");
}

QString binaryDir()
{
    return qEnvironmentVariable("VESK_TEST_BINARY_DIR", QDir::currentPath());
}

QString sourceDir()
{
    return qEnvironmentVariable("VESK_SOURCE_DIR", QDir::currentPath());
}

int unixMode(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

QString executable()
{
    return binaryDir() + QStringLiteral("/vesk-voice");
}

QByteArray runServing(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return "<not started>";
    QDeadlineTimer deadline(10000);
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(10);
    return p.readAllStandardOutput();
}

SmallDisk::SmallDisk(const QString &folder, const QString &size) : m_folder(folder)
{
    QDir().mkpath(folder);
    QProcess mount;
    mount.start(QStringLiteral("mount"),
                {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                 QStringLiteral("size=%1,mode=0700").arg(size), QStringLiteral("tmpfs"), folder});
    if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit ||
        mount.exitCode() != 0)
        m_error = QStringLiteral("a small disk cannot be mounted here (mount: %1)")
                      .arg(QString::fromLocal8Bit(mount.readAllStandardError()).trimmed());
}

SmallDisk::~SmallDisk()
{
    if (mounted())
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_folder});
}

void SmallDisk::fill() const
{
    QProcess::execute(QStringLiteral("sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("cat /dev/zero >>'%1/fill' 2>/dev/null").arg(m_folder)});
}

bool SmallDisk::full() const
{
    struct statvfs space
    {};
    return ::statvfs(QFile::encodeName(m_folder).constData(), &space) == 0 && space.f_bavail == 0;
}

} // namespace TestSupport
