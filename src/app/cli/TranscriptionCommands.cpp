#include "CommandLine.h"

namespace Cli {

QList<Command> transcriptionCommands()
{
    return {};
}

} // namespace Cli
