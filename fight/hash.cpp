// FNV-1a over the bit patterns of a fight's state.
#include "fight/hash.h"
#include "app/fighters_in_play.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "app/gameapp.h"
#include "runtime/numbers.h"

namespace {

class Fnv {
  public:
    std::uint64_t h = 14695981039346656037ull;

    void bits(std::uint32_t v) {
        for (int k = 0; k < 4; ++k) {
            h ^= (v >> (8 * k)) & 0xFFu;
            h *= 1099511628211ull;
        }
    }
    void real(float f) {
        std::uint32_t v;
        std::memcpy(&v, &f, sizeof v);
        bits(v);
    }
    void integer(std::int64_t n) {
        bits(static_cast<std::uint32_t>(n));
        bits(static_cast<std::uint32_t>(static_cast<std::uint64_t>(n) >> 32));
    }
};

}  // namespace

std::uint64_t hashPositions(const gameapp& game) {
    Fnv f;
    for (int i = 1; i <= fightersInPlay(game); ++i) {
        for (int p = 1; p <= kPointCount; ++p) {
            f.real(game.fighters[i].points[p].x);
            f.real(game.fighters[i].points[p].y);
        }
    }
    return f.h;
}

std::uint64_t hashFight(const gameapp& game) {
    Fnv f;
    f.integer(static_cast<std::int64_t>(hashPositions(game)));
    for (int i = 1; i <= fightersInPlay(game); ++i) {
        const man& m = game.fighters[i];
        for (int p = 1; p <= kPointCount; ++p) {
            f.real(m.points[p].vx);
            f.real(m.points[p].vy);
        }
        f.real(m.energy);
        f.integer(m.dead);
    }
    for (std::int64_t n :
         {static_cast<std::int64_t>(randomState()), static_cast<std::int64_t>(game.frameCount),
          static_cast<std::int64_t>(game.roundState), static_cast<std::int64_t>(game.comboCounter),
          game.score, game.totalScore})
        f.integer(n);
    return f.h;
}

std::array<FightPart, kFightParts> hashFightParts(const gameapp& game) {
    const auto body = [&game](int first, int last) {
        Fnv f;
        for (int i = first; i <= last && i <= fightersInPlay(game); ++i) {
            for (int p = 1; p <= kPointCount; ++p) {
                const ball& b = game.fighters[i].points[p];
                for (float v : {b.x, b.y, b.vx, b.vy})
                    f.real(v);
            }
        }
        return f.h;
    };
    const auto numbers = [](std::initializer_list<std::int64_t> values) {
        Fnv f;
        for (std::int64_t n : values)
            f.integer(n);
        return f.h;
    };
    Fnv energies;
    for (int i = 1; i <= fightersInPlay(game); ++i) {
        energies.real(game.fighters[i].energy);
        energies.integer(game.fighters[i].dead);
    }
    Fnv stage;
    stage.integer(game.frameCount);
    stage.integer(game.roundState);
    for (char c : game.matchState)
        stage.integer(c);
    return {{
        {"player 1's body", body(1, 1)},
        {"player 2's body", body(2, 2)},
        {"the other bodies", body(3, kMaxFighters)},
        {"energies", energies.h},
        {"random generator", numbers({randomState()})},
        {"frame and stage", stage.h},
        {"combo and score",
         numbers({game.comboCounter, game.score, game.totalScore, game.maxCombo})},
        {"tally", numbers({game.wins[1], game.wins[2]})},
    }};
}
