#include "CommandLine.h"
#include "Config.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (const auto code = Cli::run(argc, argv))
        return *code;
    // Before anything reads the settings.
    Config::migrateLegacyFiles(Config::legacyDirectory(), Config::directory());
    std::fputs("vesk-voice: the desktop app is not built yet; see 'vesk-voice --help'\n", stderr);
    return 2;
}
