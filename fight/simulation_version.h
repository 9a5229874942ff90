// The stored fingerprints of the fixed-seed runs and the outcomes of the
// stored recordings, and the simulation version they make: a change to how
// fights play changes one of them, and with it the version, so replays and
// peers of the old game are refused instead of diverging. A stored value
// changes only with a deliberate change to how fights play, explained in the
// commit that changes it.
#pragma once

#include <cstdint>

// Two bodies for 600 frames, one steered at the other, outside the match loop.
constexpr std::uint64_t kBodyFightHash = 0x7ba551bb84f29848ull;
// A whole scripted fight of the largest size, 1000 frames through playFight.
constexpr std::uint64_t kScriptedFightHash = 0xbb0115fc5ec1d541ull;
// A whole one-player game from the title's seed, twenty levels and the name entry.
constexpr std::uint64_t kWholeGameHash = 0x170fde905c77a597ull;
// The scripted fights of tests/data/replays, coop.fwr and versus.fwr, as
// recordedOutcome (tests/support/recorded_fights.h) hashes them: length,
// result, checkpoints and final hash.
// These reach what the fingerprints do not: the whole state, every 60 frames.
constexpr std::uint64_t kRecordedCoopFight = 0x4a9e1d92ca332d21ull;
constexpr std::uint64_t kRecordedVersusFight = 0x2ae80172a2d08e01ull;

constexpr std::uint64_t kSimulationVersion = kBodyFightHash ^ (kScriptedFightHash * 3) ^
                                             (kWholeGameHash * 5) ^ (kRecordedCoopFight * 7) ^
                                             (kRecordedVersusFight * 11);
