// Watching, checking and timing recorded fights from the command line.
#pragma once

#include <string>
#include <vector>

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
