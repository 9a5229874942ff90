// One row of the high-score table.
#pragma once

#include <cstdint>
#include <string>

struct ScoreEntry {
    std::int64_t score = 0;
    std::string name;

    // 1 when this score is higher, -1 otherwise (ties included): never 0, which
    // fixes how the table orders equal scores.
    int compare(const ScoreEntry& other) const { return score > other.score ? 1 : -1; }
};
