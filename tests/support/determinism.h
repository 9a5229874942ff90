// Two fixed-seed runs on the headless platform and the stored fingerprints of
// their bodies. The unit tests check them in the sanitizer build and
// tools/determinism_check in the optimised one, which is what players run.
// A stored value changes only with a deliberate change to how fights play,
// explained in the commit that changes it.
#pragma once

#include <cstdint>

// Two bodies for 600 frames, one steered at the other, outside the match loop.
constexpr std::uint64_t kBodyFightHash = 0x7ba551bb84f29848ull;
std::uint64_t bodyFightHash();

// A whole scripted fight of the largest size, 1000 frames through playFight:
// two players holding changing keys against four opponents.
constexpr std::uint64_t kScriptedFightHash = 0xc6eb4107583437acull;
struct ScriptedFight {
    std::uint64_t hash = 0;
    int result = 0;
    int frames = 0;
    int fighters = 0;
};
ScriptedFight scriptedFight();
