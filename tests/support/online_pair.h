// Two sides of an online versus series in one process, each with the online
// session the game plays through, over a network made in memory that delays,
// jitters, loses, doubles and reorders datagrams, with a display frame every
// 1/60 s of simulated time on each side.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "netplay/messages.h"
#include "netplay/rollback.h"
#include "runtime/net/memory_link.h"

class gameapp;
class FightRecorder;

struct ScoreRow {
    std::string name;
    std::int64_t score = 0;
    bool operator==(const ScoreRow&) const = default;
};

// What one side saw.
struct SideOutcome {
    int confirmed = 0;                // frames both sides confirmed
    std::vector<FrameKeys> one, two;  // their keys, by frame
    std::uint64_t hash = 0;           // after the last of them
    int frames = 0;                   // played
    int waits = 0;                    // display frames that played no new frame
    int rollbacks = 0;
    int deepest = 0;
    int desync = -1;
    int fights = 0;               // fights ended, by the tally (levels played in co-op)
    std::vector<ScoreRow> table;  // the game's high-score table at the end
    double bytesSent = 0;         // the datagrams' own bytes, without the transport's
    int messagesSent = 0;         // datagrams: keys, acknowledgements, pings
    StateParts partsAtDesync{};
    // Display frames from the one that took the local keys to the one that
    // first showed them, counted for each frame's keys: [0] is 0 frames.
    std::vector<int> keyLatency;
    double worstTickMicros = 0;  // the dearest display frame, rollback included
};

// A table of twenty NOBODY rows at 0, as a first start writes it.
inline std::array<TableRow, kTableRows> nobodyTable() {
    std::array<TableRow, kTableRows> table;
    for (TableRow& row : table)
        row.name = "NOBODY";
    return table;
}

// One of the host's watchers.
struct WatcherRun {
    int afterFights = 0;  // says hello once the host has seen this many fights end
    int stallAt = -1;     // the display frame from which it reads nothing, when not -1
};

struct PairRun {
    NetworkConditions network;
    int inputDelay = 2;
    int frames = 2400;  // display frames, after which both sides run 200 more
    int fights = 0;     // or, when not 0, until the host has seen this many fights end
    int blowPower = 5;  // the host's setting, which both sides use
    // Every fight begun with the fighters nearly beaten, to go through many
    // in a short run; otherwise only the first.
    bool shortFights = false;
    int joinerLate = 0;  // display frames the joiner starts after the host
    // The co-op game instead: levels won while the level is below loseAt,
    // that one lost, each decided decideAfter frames into its fight; the name
    // typed by the host at the game over.
    bool coop = false;
    int loseAt = 3;
    // playConfirmedKeys plays the joiner's confirmed copy, which writes no scores.txt.
    bool joinersCopy = false;
    int decideAfter = 1;  // frames into each fight at which its level is decided
    std::string name = "AB";
    std::array<TableRow, kTableRows> table = nobodyTable();  // the host's; the joiner's own
                                                             // is the default
    // Runs on the joiner's game after each display frame, as a fault would.
    std::function<void(gameapp&, int)> tamper;
    // Each over a network of its own with the same conditions; after the
    // players are done they go on until all have played to the end.
    std::vector<WatcherRun> watchers;
};

struct WatcherOutcome {
    bool welcomed = false;
    std::string why;                  // the host's refusal, in words
    int confirmedAtHello = 0;         // frames the players had confirmed when it said hello
    int endFrame = -1;                // where the host said the series ended
    int played = 0;                   // frames it played
    int shownAgain = 0;               // display frames, after the first frame, that played none
    std::uint64_t hash = 0;           // its game's, after them
    std::vector<FrameKeys> one, two;  // the keys it was sent
};

struct WatchedOutcome {
    std::vector<WatcherOutcome> watchers;
    int watching = 0;         // watchers the host still fed as the series ended
    double watcherBytes = 0;  // sent by the host to all watchers, and in datagrams
    double watcherDatagrams = 0;
};

struct PairOutcome {
    SideOutcome host, joiner;
    int displayFrames = 0;
};

// What the run's watchers saw, when asked for.
PairOutcome playPair(const PairRun& run, WatchedOutcome* watched = nullptr);

// The same confirmed keys played on one machine, without guessing, from the
// same start: the hash after them and the fights ended. The recorder, when
// given, keeps the fights as the game records any.
// The game, when asked for, is kept for a look at how it ended.
std::uint64_t playConfirmedKeys(const SideOutcome& o, const PairRun& run, int& fights,
                                FightRecorder* recorder = nullptr,
                                std::unique_ptr<gameapp>* kept = nullptr);
