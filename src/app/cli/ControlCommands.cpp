#include "app/cli/CommandLine.h"

#include "records/Config.h"
#include "app/control/ControlChannel.h"

#include <QFileInfo>

namespace Cli {

namespace {

// Hands one command to the app running on this data folder.
int control(const QString &command, const QStringList &args)
{
    if (!args.isEmpty())
        return usageError(QStringLiteral("'%1' takes no arguments").arg(command));
    const QString dataFolder = Config::directory();
    const QString folder = ControlChannel::socketFolder(dataFolder);
    if (const auto problem = ControlChannel::prepareFolder(folder, false);
        problem && QFileInfo::exists(folder)) {
        err(QStringLiteral("vesk-voice: %1").arg(*problem));
        return 1;
    }
    const ControlChannel::Reply reply =
        ControlChannel::send(ControlChannel::socketPath(dataFolder), command);
    switch (reply.status) {
    case ControlChannel::Reply::Status::answered:
        return 0;
    case ControlChannel::Reply::Status::noServer:
        err(QStringLiteral("vesk-voice: Vesk Voice is not running (data folder %1)")
                .arg(dataFolder));
        return 1;
    case ControlChannel::Reply::Status::refused:
    case ControlChannel::Reply::Status::failed:
        err(QStringLiteral("vesk-voice: %1").arg(reply.message));
        return 1;
    }
    return 1;
}

int toggle(const QStringList &args)
{
    return control(QStringLiteral("toggle"), args);
}
int start(const QStringList &args)
{
    return control(QStringLiteral("start"), args);
}
int stop(const QStringList &args)
{
    return control(QStringLiteral("stop"), args);
}
int cancel(const QStringList &args)
{
    return control(QStringLiteral("cancel"), args);
}
int show(const QStringList &args)
{
    return control(QStringLiteral("show"), args);
}
int retry(const QStringList &args)
{
    return control(QStringLiteral("retry"), args);
}

} // namespace

QList<Command> controlCommands()
{
    return {
        {QStringLiteral("toggle"), QStringLiteral("toggle"),
         QStringLiteral("start a dictation in the running app, or finish the one it records"),
         false, &toggle},
        {QStringLiteral("start"), QStringLiteral("start"),
         QStringLiteral("start a dictation in the running app"), false, &start},
        {QStringLiteral("stop"), QStringLiteral("stop"),
         QStringLiteral("finish the running app's dictation: transcribe and insert it"), false,
         &stop},
        {QStringLiteral("cancel"), QStringLiteral("cancel"),
         QStringLiteral("drop the running app's recording"), false, &cancel},
        {QStringLiteral("show"), QStringLiteral("show"),
         QStringLiteral("bring the running app's main window forward"), false, &show},
        {QStringLiteral("retry"), QStringLiteral("retry"),
         QStringLiteral("send the newest recording that waits for a retry again"), false, &retry},
    };
}

} // namespace Cli
