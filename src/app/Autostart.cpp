#include "app/Autostart.h"

#include "records/DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Autostart {

namespace {

// One argument of an Exec line: in double quotes, with the characters the format reserves
// inside them escaped, then the backslashes doubled once more as every string value's are.
QString execArgument(const QString &argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    // A lone % would start a field code.
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString entryPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart/vesk-voice.desktop");
}

QByteArray entry(const QString &executable)
{
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Vesk Voice\n"
                                  "Comment=Hold a key, speak, and the text lands where you type\n"
                                  "Icon=vesk-voice\n"
                                  "Terminal=false\n"
                                  "StartupNotify=false\n"
                                  "X-GNOME-Autostart-enabled=true\n");
    text += QStringLiteral("Exec=") + execArgument(executable) + QLatin1Char('\n');
    return text.toUtf8();
}

QString currentExecutable()
{
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    return appImage.isEmpty() ? QCoreApplication::applicationFilePath() : appImage;
}

bool enable(const QString &executable)
{
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // Read by the session, written by no one else: whatever the umask, others must not be able
    // to change what runs at login.
    return bool(DataFiles::writeAtomically(path, entry(executable),
                                           DataFiles::ownerReadWrite | QFileDevice::ReadGroup |
                                               QFileDevice::ReadOther));
}

bool disable()
{
    const QString path = entryPath();
    return !QFileInfo::exists(path) || QFile::remove(path);
}

} // namespace Autostart
