#include "CommandLine.h"

namespace Cli {

QList<Command> desktopCommands()
{
    return {};
}

} // namespace Cli
