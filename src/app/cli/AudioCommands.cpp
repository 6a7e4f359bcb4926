#include "CommandLine.h"

namespace Cli {

QList<Command> audioCommands()
{
    return {};
}

} // namespace Cli
