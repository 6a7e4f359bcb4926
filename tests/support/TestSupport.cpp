#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

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

QString executable()
{
    return binaryDir() + QStringLiteral("/vesk-voice");
}

} // namespace TestSupport
