#include "Resources.h"

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initBundledResources()
{
    Q_INIT_RESOURCE(vesk);
}

namespace Resources {

void init()
{
    static const bool done = [] {
        initBundledResources();
        return true;
    }();
    Q_UNUSED(done);
}

QStringList soundNames()
{
    return {QStringLiteral("Tink"), QStringLiteral("Pop"), QStringLiteral("Funk"),
            QStringLiteral("Basso")};
}

QString soundPath(const QString &name)
{
    init();
    // Only plain names: nothing like "../icons/x" may reach outside the sounds folder.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('.')))
        return {};
    const QString path = QStringLiteral(":/sounds/%1.wav").arg(name);
    return QFile::exists(path) ? path : QString();
}

QUrl soundUrl(const QString &name)
{
    const QString path = soundPath(name);
    return path.isEmpty() ? QUrl() : QUrl(QStringLiteral("qrc") + path);
}

QString appIconPath()
{
    init();
    return QStringLiteral(":/app/vesk-voice.svg");
}

QIcon appIcon()
{
    return QIcon(appIconPath());
}

} // namespace Resources
