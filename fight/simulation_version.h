// The stored fingerprints of the fixed-seed runs, and the simulation version
// they make: a change to how fights play changes a fingerprint, and with it
// the version, so replays of the old game are refused instead of diverging.
// A stored value changes only with a deliberate change to how fights play,
// explained in the commit that changes it.
#pragma once

#include <cstdint>

// Two bodies for 600 frames, one steered at the other, outside the match loop.
constexpr std::uint64_t kBodyFightHash = 0x7ba551bb84f29848ull;
// A whole scripted fight of the largest size, 1000 frames through playFight.
constexpr std::uint64_t kScriptedFightHash = 0xbb0115fc5ec1d541ull;
// A whole one-player game from the title's seed, twenty levels and the name entry.
constexpr std::uint64_t kWholeGameHash = 0x170fde905c77a597ull;

constexpr std::uint64_t kSimulationVersion =
    kBodyFightHash ^ (kScriptedFightHash * 3) ^ (kWholeGameHash * 5);
