// A recorded fight as it is kept on disk: what the fight started from, the
// keys of every frame, hashes of the whole fight along the way and the result.
// Reading checks everything before it is used, so a damaged or hostile file
// is refused with a one-line reason and never allocates much.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "persist/score_entry.h"
#include "runtime/input.h"

constexpr std::uint16_t kReplayFormat = 1;
constexpr int kCheckpointFrames = 60;  // frames between two hashes of the fight
// What a recording may hold: room for a fight of over four hours and tens of
// thousands of key changes. Reading refuses more, and larger files unread.
constexpr std::size_t kMaxRecordedEvents = 1u << 16;
constexpr std::size_t kMaxCheckpoints = 1u << 14;
constexpr std::size_t kMaxReplayBytes = 1u << 20;

// Everything of the game object a fight reads that set-up does not make anew.
struct FightStart {
    std::string mode = "1";  // "1", "2vs" or "2coop"
    int level = 1;
    // In the order of prefs.fwk, without the full-screen setting, which
    // changes nothing of a fight.
    std::array<int, 12> settings{};
    int randomState = 1;
    std::int64_t totalScore = 0;
    std::array<int, 3> wins{};
    int stateStartFrame = 0;
    int nameCursor = 1;
    int burstSlot = 1;
    int paletteRows = 6;
    int messageTimer = 0;
    float cameraX = 0, cameraY = 0, zoom = 0.3f, slowMotionTimer = 0;
    std::array<std::array<std::array<std::int8_t, 10>, 10>, 3> cooldowns{};  // hit, contact, spark
    std::array<std::array<std::int16_t, 4>, 7> palette{};
    std::array<std::array<std::int8_t, 4>, 7> paletteStep{};
    std::string message;
    std::string playerName;
    std::array<std::string, 16> nameChars;  // 1..15
    std::vector<ScoreEntry> highScores;
};

// The result of a fight whose recording stops before its end: an online
// series cut by a lost connection or a closed window.
constexpr int kResultCut = 0;

struct Replay {
    std::uint64_t simulation = 0;  // the simulation version that recorded it
    FightStart start;
    InputLog input;
    int frames = 0;
    std::vector<std::uint64_t> checkpoints;  // after frames 60, 120, ...
    int result = 0;                          // what playFight returned, or kResultCut
    int roundState = 0;
    std::uint64_t finalHash = 0;
};

std::string encodeReplay(const Replay& replay);
// A hash or version as 16 hexadecimal digits, as every message shows them.
std::string hashText(std::uint64_t v);
// Empty when the bytes hold a replay this game can play; otherwise why not.
std::string decodeReplay(const std::uint8_t* bytes, std::size_t size, Replay& out);
