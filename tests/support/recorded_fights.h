// Two scripted fights recorded on the headless platform, for the replay
// benchmarks and the stored recordings: the largest co-op fight and a versus
// fight, each about a minute long with keys changing all along.
#pragma once

#include <cstdint>
#include <string>

#include "replay/format.h"

Replay recordedCoopFight();
Replay recordedVersusFight();

// How a recording says its fight went, in one hash: its length, result,
// every checkpoint and the final hash.
std::uint64_t recordedOutcome(const Replay& replay);
// Both fights recorded now against the outcomes stored beside the simulation
// version: a line for each that plays differently, empty when both agree.
std::string recordedFightDifferences();
