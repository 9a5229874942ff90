// Fingerprints of a fight in progress: FNV-1a over bit patterns, so a change
// in any bit shows. The stored fixed-seed runs compare the bodies' positions;
// a replay's checkpoints and online play take in everything that decides how
// the fight goes on.
#pragma once

#include <array>
#include <cstdint>

class gameapp;

// Every fighter's point positions.
std::uint64_t hashPositions(const gameapp& game);

// The fight in named parts, each hashed: where two copies of a fight part.
// Together they hold every field of the game object a snapshot saves and the
// fight reads, the generator and the game's input.
constexpr int kFightParts = 12;
struct FightPart {
    const char* name;
    std::uint64_t hash;
};
std::array<FightPart, kFightParts> hashFightParts(const gameapp& game);
// The hash of the parts: what the checkpoints and the two sides compare.
std::uint64_t hashFight(const gameapp& game);
