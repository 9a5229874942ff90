// Fingerprints of a fight in progress: FNV-1a over bit patterns, so a change
// in any bit shows. The stored fixed-seed runs compare the bodies' positions;
// a replay's checkpoints take in everything that decides how the fight goes on.
#pragma once

#include <array>
#include <cstdint>

class gameapp;

// Every fighter's point positions.
std::uint64_t hashPositions(const gameapp& game);
// Positions, velocities and energies of the bodies, and the generator, frame,
// combo, score and outcome of the fight.
std::uint64_t hashFight(const gameapp& game);

// The same in named parts, each hashed: where two copies of a fight part.
constexpr int kFightParts = 8;
struct FightPart {
    const char* name;
    std::uint64_t hash;
};
std::array<FightPart, kFightParts> hashFightParts(const gameapp& game);
