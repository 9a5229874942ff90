// The program's options. With none the game starts as it always has; the
// others watch, check or time recorded fights, or play online.
#pragma once

#include <string>
#include <vector>

#include "replay/actions.h"

struct CommandLine {
    enum Action {
        Play,
        Help,
        Version,
        Replay,
        Verify,
        Synctest,
        Timedemo,
        Host,
        Join,
        Watch,
        Wrong
    } action = Play;
    std::string address;   // Join, Watch: the host; empty with no code either: typed in the window
    std::string roomCode;  // Join, Watch: the room's code, in its normal form
    int port = 0;          // Host, Join, Watch
    bool portGiven = false;          // Host: a PORT hosts directly even where a lobby is known
    std::string lobby;               // --lobby HOST[:PORT], as given
    int inputDelay = -1;             // Host, Join: frames; -1 chooses from the round trip
    bool coop = false;               // Host: the co-op game instead of versus
    std::vector<std::string> files;  // Replay: none for the newest fight
    std::string error;               // Wrong: the one line that says why
};

CommandLine parseCommandLine(int argc, const char* const* argv);
// The lobby this build knows when neither --lobby nor FLAILWICK_LOBBY names
// one; empty unless the builder chose one.
std::string builtInLobby();
// A lobby's HOST[:PORT] taken apart; empty when right, else why not.
std::string readLobby(const std::string& text, std::string& host, int& port);
std::string helpText();
// The game's version, and the simulation's and online protocol's that decide
// which recordings play and which other players fit.
std::string versionText();
