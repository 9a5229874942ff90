// Without options the game starts as it always has, recording every fight;
// the options watch, check or time recorded fights.
#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "app/gameapp.h"
#include "netplay/online.h"
#include "netplay/watch.h"
#include "replay/replay.h"
#include "runtime/platform/headless.h"
#include "runtime/platform/sdl_platform.h"
#include "runtime/program.h"

int main(int argc, char** argv) {
    const CommandLine command = parseCommandLine(argc, argv);
    switch (command.action) {
        case CommandLine::Wrong:
            std::fprintf(stderr, "flailwick: %s\n", command.error.c_str());
            return kExitUsage;
        case CommandLine::Help:
            std::fputs(helpText().c_str(), stdout);
            return 0;
        case CommandLine::Version:
            std::fputs(versionText().c_str(), stdout);
            return 0;
        case CommandLine::Verify:
        case CommandLine::Synctest: {
            // Checking needs no window and no sound device.
            HeadlessPlatform headless;
            setPlatform(&headless);
            const bool rollBack = command.action == CommandLine::Synctest;
            return verifyReplays(command.files, rollBack ? kMaxRollback : 0);
        }
        case CommandLine::Replay:
        case CommandLine::Timedemo: {
            setPlatform(&sdlPlatform());
            const std::string file = command.files.empty() ? "" : command.files.front();
            endProgram(watchReplay(file, command.action == CommandLine::Timedemo));
        }
        case CommandLine::Host:
        case CommandLine::Join: {
            setPlatform(&sdlPlatform());
            const OnlineOptions online{command.action == CommandLine::Host, command.address,
                                       command.port, command.inputDelay, command.coop};
            endProgram(playOnline(online));
        }
        case CommandLine::Watch:
            setPlatform(&sdlPlatform());
            endProgram(watchOnline(command.address, command.port));
        case CommandLine::Play:
            break;
    }
    setPlatform(&sdlPlatform());
    static FightRecorder recorder(replayDirectory());
    playFlailwick(&recorder);
}
