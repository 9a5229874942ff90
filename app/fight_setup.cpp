// The level table and setUpFight: arena, fighters, sides and colours of a fight.
#include <array>

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "runtime/input.h"
#include "runtime/numbers.h"

namespace {

// One row of the level table: arena factor, opponents' scale and the number
// of fighters in a one-player fight (the player included).
struct LevelRow {
    float arenaFactor;
    float opponentScale;
    int fighters;
};

// Levels 11..20 are levels 1..10 again, fought by robots.
constexpr std::array<LevelRow, 11> kLevels{{
    {0.0f, 0.0f, 0},  // unused: levels count from 1
    {1.5f, 2.0f, 2},
    {1.7f, 2.5f, 2},
    {1.9f, 2.0f, 3},
    {2.1f, 2.4f, 3},
    {2.1f, 3.4f, 2},
    {2.6f, 2.0f, 4},
    {2.8f, 2.3f, 4},
    {3.4f, 2.0f, 5},
    {3.6f, 2.2f, 5},
    {3.0f, 4.5f, 2},
}};

constexpr int kLastLevel = 20;
constexpr float kPlayerScale = 2.0f;
constexpr Colour kComputerColour{0, 65, 65, 65};
constexpr Colour kPlayerOneColour{0, 175, 175, 175};
constexpr Colour kCoopPlayerTwoColour{0, 255, 255, 255};
constexpr Colour kVersusPlayerTwoColour{0, 65, 65, 65};

// A level outside 1..20 is played as the nearest level of the table rather
// than reading past it.
const LevelRow& levelRow(int level) {
    const int clamped = minInt(maxInt(level, 1), kLastLevel);
    return kLevels[static_cast<std::size_t>((clamped - 1) % 10 + 1)];
}

}  // namespace

void gameapp::setUpFight() {
    fightResult = 0;
    drainKeys();
    matchState = kStateFighting;

    maxCombo = 0;
    levelStartScore = low32(totalScore);
    score = 0;
    comboCounter = 0;
    paceTime = clockMillis();
    roundState = 0;
    lastContactFrame = 0;
    frameCount = 0;

    for (int i = 1; i <= kBurstSlots; ++i)
        bursts[i] = dotburst{};

    const bool versus = mode == kModeVersus;
    const bool coop = mode == kModeCoop;
    // "2vs" is always fought in the first level's arena.
    const LevelRow& row = versus ? kLevels[1] : levelRow(level);
    const int n = versus ? 2 : (coop ? row.fighters + 1 : row.fighters);
    fighterCount = n;

    for (int i = 1; i <= n; ++i) {
        fighters[i] = man{};
        fighters[i].number = i;
        fighters[i].game = this;
    }

    const double f = row.arenaFactor;
    arenaRight = static_cast<float>(1024.0 * f / 2.0);
    arenaLeft = static_cast<float>(-1024.0 * f / 2.0);
    arenaTop = static_cast<float>(-768.0 * f / 2.0);
    arenaBottom = static_cast<float>(768.0 * f / 2.0);

    const int robots = level > 10 ? 1 : 0;
    if (versus) {
        fighters[1].scale = kPlayerScale;
        fighters[2].scale = kPlayerScale;
        fighters[1].team = 1;
        fighters[2].team = 0;
        fighters[1].setUp(2);
        fighters[2].setUp(2);
        fighters[1].colour = kPlayerOneColour;
        fighters[2].colour = kVersusPlayerTwoColour;
        return;
    }

    const int players = coop ? 2 : 1;
    for (int i = 1; i <= players; ++i) {
        fighters[i].scale = kPlayerScale;
        fighters[i].team = 1;
    }
    for (int i = players + 1; i <= n; ++i) {
        fighters[i].scale = row.opponentScale;
        if (robots != 0) fighters[i].robot = 1;
    }
    for (int i = 1; i <= n; ++i) {
        fighters[i].colour = kComputerColour;
        fighters[i].setUp(n);
    }
    fighters[1].colour = kPlayerOneColour;
    if (coop) fighters[2].colour = kCoopPlayerTwoColour;
}
