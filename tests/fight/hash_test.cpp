// The fight's hash takes in every part of what a snapshot saves.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/game_texts.h"
#include "fight/hash.h"
#include "fight/snapshot.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "tests/support/fight_fixture.h"

namespace {

using fighttest::FightTest;

class FightHash : public FightTest {};

// The names of the parts whose hashes differ, joined.
std::string partsThatDiffer(const std::array<FightPart, kFightParts>& a,
                            const std::array<FightPart, kFightParts>& b) {
    std::string names;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].hash != b[i].hash) names += (names.empty() ? "" : ", ") + std::string(a[i].name);
    }
    return names;
}

TEST_F(FightHash, AChangeToAnyOnePartChangesTheHashAndNamesThatPart) {
    g.fillDefaultScores();
    setUp("2coop", 8);
    frames(40);
    struct Row {
        const char* part;  // empty: the hash stays as it was
        std::function<void(gameapp&)> change;
    };
    const Row rows[] = {
        {"player 1's body", [](gameapp& f) { f.fighters[1].points[5].prevX += 1.0f; }},
        {"player 2's body", [](gameapp& f) { f.fighters[2].points[kHead].hitFlash += 1; }},
        {"the other bodies", [](gameapp& f) { f.fighters[6].jointStiffness[3] += 1.0f; }},
        {"energy and outcome", [](gameapp& f) { f.fighters[4].energy -= 1.0f; }},
        {"energy and outcome", [](gameapp& f) { f.fightResult = 3; }},
        {"bursts", [](gameapp& f) { f.bursts[kBurstSlots].pvy[kBurstCapacity] += 1.0f; }},
        {"stage and messages", [](gameapp& f) { f.matchState = kStateEnd; }},
        {"stage and messages", [](gameapp& f) { f.slowMotionTimer += 1.0f; }},
        {"stage and messages", [](gameapp& f) { f.nameChars[15] = "Q"; }},
        {"cooldowns", [](gameapp& f) { f.hitCooldown[2][5] += 1; }},
        {"camera and arena", [](gameapp& f) { f.arenaTop += 1.0f; }},
        {"score and combo", [](gameapp& f) { f.maxCombo += 1; }},
        {"settings and table", [](gameapp& f) { f.highScores.back().name += "X"; }},
        {"settings and table", [](gameapp& f) { f.blood += 1; }},
        {"generator and keys", [](gameapp&) { seedRandom(randomState() == 1 ? 2 : 1); }},
        {"generator and keys", [](gameapp&) { holdKey(KeyP, true); }},
        {"generator and keys", [](gameapp&) { onChar('x'); }},
        {"tally", [](gameapp& f) { f.wins[2] += 1; }},
        {"", [](gameapp& f) { f.paceTime += 1000; }},
        {"", [](gameapp& f) { f.fullscreen = 1 - f.fullscreen; }},
    };
    FightSnapshot kept;
    kept.save(g);
    const auto before = hashFightParts(g);
    const std::uint64_t whole = hashFight(g);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.part);
        row.change(g);
        EXPECT_EQ(partsThatDiffer(before, hashFightParts(g)), row.part);
        EXPECT_EQ(hashFight(g) != whole, *row.part != '\0');
        kept.load(g);
    }
}

}  // namespace
