// Two fixed-seed runs on the headless platform and the stored fingerprints of
// their bodies. The unit tests check them in the sanitizer build and
// tools/determinism_check in the optimised one, which is what players run.
// Readable figures stand beside the hashes, so a failure says what changed.
// A stored value changes only with a deliberate change to how fights play,
// explained in the commit that changes it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "fight/simulation_version.h"

// Two bodies for 600 frames, one steered at the other, outside the match loop.
std::uint64_t bodyFightHash();

// A whole scripted fight of the largest size, 1000 frames through playFight:
// two players holding changing keys against four opponents.
struct ScriptedFight {
    std::uint64_t hash = 0;
    int result = 0;
    int frames = 0;
    int fighters = 0;
    int blows = 0;                    // points struck, two for a double blow
    std::array<float, 7> energies{};  // fighters 1..6 at the end
};
ScriptedFight scriptedFight();

// A whole one-player game from the title's seed: the twenty levels won with the
// knockout chord, then kWholeGameTyped typed and Enter. Leaves scores.txt in
// the working directory.
// Sixteen allowed characters, a quote and a tilde the name entry refuses, and a
// backspace: the name kept is "ABCDEFGHIJKLMN".
constexpr const char* kWholeGameTyped = "abc\"~defghijklmnopq\b";
struct WholeGame {
    std::uint64_t hash = 0;  // the last fight's bodies
    int frames = 0;
    int level = 0;
    std::int64_t totalScore = 0;
    bool named = false;
    std::array<int, 21> levelFrames{};  // frames presented in levels 1..20
    std::array<float, 7> energies{};    // the last fight's fighters at the end
};
WholeGame wholeGame();

// Beside the hashes, figures a reader can follow, stored from the same runs:
// compared first, they say what changed before the hash says that something did.
constexpr ScriptedFight kScriptedFight = {
    kScriptedFightHash, 3, 1000, 6, 12, {0.0f, 14.0f, 20.0f, 20.0f, 19.0f, 16.0f, 18.0f}};
// The chord wins each level at once and its result stays 100 frames; the last
// level's frames also hold the name entry and the table.
constexpr WholeGame kWholeGame = {kWholeGameHash,
                                  2083,
                                  21,
                                  2000000,
                                  true,
                                  {0,   102, 101, 101, 101, 101, 101, 101, 101, 101, 101,
                                   101, 101, 101, 101, 101, 101, 101, 101, 101, 163},
                                  {0.0f, 20.0f, 0.0f}};

// One line for each figure that differs from the stored run, the hash last;
// empty when the run is as stored.
std::string differences(const ScriptedFight& run, const ScriptedFight& stored);
std::string differences(const WholeGame& run, const WholeGame& stored);
