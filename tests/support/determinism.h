// Two fixed-seed runs on the headless platform and the stored fingerprints of
// their bodies. The unit tests check them in the sanitizer build and
// tools/determinism_check in the optimised one, which is what players run.
// A stored value changes only with a deliberate change to how fights play,
// explained in the commit that changes it.
#pragma once

#include <cstdint>

#include "app/simulation_version.h"

// Two bodies for 600 frames, one steered at the other, outside the match loop.
std::uint64_t bodyFightHash();

// A whole scripted fight of the largest size, 1000 frames through playFight:
// two players holding changing keys against four opponents.
struct ScriptedFight {
    std::uint64_t hash = 0;
    int result = 0;
    int frames = 0;
    int fighters = 0;
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
};
WholeGame wholeGame();
