// Watching, checking and timing recorded fights from the command line.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "replay/replay.h"

class ReplayViewer;

// Exit statuses.
constexpr int kExitDiverged = 1;  // a recorded fight was refused, missing or played differently
constexpr int kExitUsage = 2;     // a wrong option, or a missing file to watch

// Watches a recorded fight in the window at its own pace, with its sound, and
// the viewer's keys (viewRecordedFight). timed: as fast as the display allows,
// silent, without the viewer's keys, with the frame times printed at the end.
// Without a path and with no recorded fight, a window says so. The exit status.
int watchReplay(const std::string& path, bool timed);
// The recorded fight in the window with the time along the bottom edge: Space
// (or P) pauses, Right and Left go 5 seconds on and back, Up and Down change
// the speed, '.' steps a frame while paused, Home goes to the start, Esc
// leaves. eachFrame, when given, runs after every display frame.
ReplayRun viewRecordedFight(gameapp& game, const Replay& replay,
                            const std::function<void(const ReplayViewer&)>& eachFrame = {});
// Plays each recorded fight unseen and prints one line for it, going back
// and playing frames again after each one when rollbackDepth is above 0.
// The exit status.
int verifyReplays(const std::vector<std::string>& paths, int rollbackDepth = 0);
