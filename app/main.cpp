// Without options the game starts as it always has, recording every fight;
// the options watch, check or time recorded fights.
#include <cstdio>
#include <cstdlib>
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
        case CommandLine::Join:
        case CommandLine::Watch: {
            setPlatform(&sdlPlatform());
            OnlineOptions online;
            online.host = command.action == CommandLine::Host;
            online.watch = command.action == CommandLine::Watch;
            online.address = command.address;
            online.port = command.port;
            online.inputDelay = command.inputDelay;
            online.coop = command.coop;
            // For tests and networks where asking the router is unwelcome.
            online.askRouter = std::getenv("FLAILWICK_NO_ROUTER") == nullptr;
            online.roomCode = command.roomCode;
            std::string lobby = command.lobby;
            const char* named = std::getenv("FLAILWICK_LOBBY");
            if (lobby.empty() && named != nullptr) lobby = named;
            if (lobby.empty()) lobby = builtInLobby();
            // A port or an address given asks for a direct game whatever lobby is known.
            if (!lobby.empty() && !command.portGiven && command.address.empty()) {
                const std::string why = readLobby(lobby, online.lobbyHost, online.lobbyPort);
                if (!why.empty()) {
                    std::fprintf(stderr, "flailwick: the lobby '%s': %s\n", lobby.c_str(),
                                 why.c_str());
                    return kExitUsage;
                }
            }
            endProgram(playOnline(online));
        }
        case CommandLine::Play:
            break;
    }
    setPlatform(&sdlPlatform());
    static FightRecorder recorder(replayDirectory());
    playFlailwick(&recorder);
}
