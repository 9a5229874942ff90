// A fingerprint of every fighter's point positions: FNV-1a over the bit
// patterns, so a change in any bit of any position shows. The determinism
// tests compare it with stored values.
#pragma once

#include <cstdint>
#include <cstring>

#include "app/gameapp.h"

inline std::uint64_t hashPositions(const gameapp& game) {
    std::uint64_t h = 14695981039346656037ull;
    const auto mix = [&h](float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        for (int k = 0; k < 4; ++k) {
            h ^= (bits >> (8 * k)) & 0xFFu;
            h *= 1099511628211ull;
        }
    };
    for (int i = 1; i <= game.fighterCount; ++i) {
        for (int p = 1; p <= kPointCount; ++p) {
            mix(game.fighters[i].points[p].x);
            mix(game.fighters[i].points[p].y);
        }
    }
    return h;
}
