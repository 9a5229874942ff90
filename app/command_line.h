// The program's options. With none the game starts as it always has; the
// others watch, check or time recorded fights, or play online.
#pragma once

#include <string>
#include <vector>

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
        Wrong
    } action = Play;
    std::string address;             // Join: the host
    int port = 0;                    // Host, Join
    int inputDelay = 2;              // Host, Join: frames
    std::vector<std::string> files;  // Replay: none for the newest fight
    std::string error;               // Wrong: the one line that says why
};

CommandLine parseCommandLine(int argc, const char* const* argv);
std::string helpText();
// The game's version, and the simulation's and online protocol's that decide
// which recordings play and which other players fit.
std::string versionText();

// Exit statuses.
constexpr int kExitDiverged = 1;  // a recorded fight was refused, missing or played differently
constexpr int kExitUsage = 2;     // a wrong option, or a missing file to watch

// Watches a recorded fight in the window at its own pace, with its sound;
// P pauses, Esc leaves. timed: as fast as the display allows, silent, with the
// frame times printed at the end. The exit status.
int watchReplay(const std::string& path, bool timed);
// Plays each recorded fight unseen and prints one line for it, going back
// and playing frames again after each one when rollbackDepth is above 0.
// The exit status.
int verifyReplays(const std::vector<std::string>& paths, int rollbackDepth = 0);
