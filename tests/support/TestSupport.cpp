#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

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

} // namespace TestSupport
