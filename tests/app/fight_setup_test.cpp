// Fight set-up: each level's arena, fighters, robots and sides.
#include <gtest/gtest.h>

#include <climits>

#include "tests/support/fight_fixture.h"

namespace {

using fighttest::FightTest;

struct Level {
    double arena;  // arena factor
    float scale;   // opponents' scale
    int fighters;  // in mode "1", the player included
};

// Levels 1..10; 11..20 are the same with robots.
const Level kTable[11] = {{0, 0, 0},      {1.5, 2.0f, 2}, {1.7, 2.5f, 2}, {1.9, 2.0f, 3},
                          {2.1, 2.4f, 3}, {2.1, 3.4f, 2}, {2.6, 2.0f, 4}, {2.8, 2.3f, 4},
                          {3.4, 2.0f, 5}, {3.6, 2.2f, 5}, {3.0, 4.5f, 2}};

void expectColour(const man& m, int r, int g, int b) {
    EXPECT_EQ(m.colour[1], r);
    EXPECT_EQ(m.colour[2], g);
    EXPECT_EQ(m.colour[3], b);
}

void expectArena(const gameapp& g, double f) {
    EXPECT_FLOAT_EQ(g.arenaRight, static_cast<float>(512.0 * f));
    EXPECT_FLOAT_EQ(g.arenaLeft, static_cast<float>(-512.0 * f));
    EXPECT_FLOAT_EQ(g.arenaTop, static_cast<float>(-384.0 * f));
    EXPECT_FLOAT_EQ(g.arenaBottom, static_cast<float>(384.0 * f));
}

class FightSetUp : public FightTest {};

TEST_F(FightSetUp, LevelOneIsThePlayerAgainstOneOpponent) {
    setUp("1", 1);
    ASSERT_EQ(g.fighterCount, 2);
    EXPECT_FLOAT_EQ(g.arenaRight - g.arenaLeft, 1536.0f);
    EXPECT_FLOAT_EQ(g.arenaBottom - g.arenaTop, 1152.0f);
    expectArena(g, 1.5);

    const man& player = g.fighters[1];
    const man& opponent = g.fighters[2];
    EXPECT_FLOAT_EQ(player.scale, 2.0f);
    EXPECT_EQ(player.team, 1);
    EXPECT_EQ(player.robot, 0);
    expectColour(player, 175, 175, 175);
    EXPECT_FLOAT_EQ(opponent.scale, 2.0f);
    EXPECT_EQ(opponent.team, 0);
    EXPECT_EQ(opponent.robot, 0);
    expectColour(opponent, 65, 65, 65);

    for (int i = 1; i <= 2; ++i) {
        const man& m = g.fighters[i];
        EXPECT_EQ(m.number, i);
        EXPECT_EQ(m.game, &g);
        EXPECT_FLOAT_EQ(m.cameraWeight, 1.0f);  // setUp has run
        for (int p = 1; p <= kPointCount; ++p) {
            EXPECT_EQ(m.points[p].owner, &m);
            EXPECT_EQ(m.points[p].ownerNumber, i);
            EXPECT_EQ(m.points[p].game, &g);
        }
    }
}

TEST_F(FightSetUp, EveryLevelFollowsTheTableAndLaterLevelsBringRobots) {
    for (int level = 1; level <= 20; ++level) {
        SCOPED_TRACE(level);
        const Level& row = kTable[(level - 1) % 10 + 1];
        const int robot = level > 10 ? 1 : 0;

        setUp("1", level);
        ASSERT_EQ(g.fighterCount, row.fighters);
        expectArena(g, row.arena);
        EXPECT_FLOAT_EQ(g.fighters[1].scale, 2.0f);
        EXPECT_EQ(g.fighters[1].robot, 0);
        for (int i = 2; i <= g.fighterCount; ++i) {
            EXPECT_FLOAT_EQ(g.fighters[i].scale, row.scale);
            EXPECT_EQ(g.fighters[i].robot, robot);
            EXPECT_EQ(g.fighters[i].team, 0);
            if (robot != 0) {
                expectColour(g.fighters[i], 70, 70, 90);
                EXPECT_FLOAT_EQ(g.fighters[i].damageFactor, 2.0f);
            } else {
                expectColour(g.fighters[i], 65, 65, 65);
            }
        }

        setUp("2coop", level);
        ASSERT_EQ(g.fighterCount, row.fighters + 1);
        expectArena(g, row.arena);
        for (int i = 1; i <= 2; ++i) {
            EXPECT_FLOAT_EQ(g.fighters[i].scale, 2.0f);
            EXPECT_EQ(g.fighters[i].team, 1);
            EXPECT_EQ(g.fighters[i].robot, 0);
        }
        for (int i = 3; i <= g.fighterCount; ++i) {
            EXPECT_FLOAT_EQ(g.fighters[i].scale, row.scale);
            EXPECT_EQ(g.fighters[i].robot, robot);
            EXPECT_EQ(g.fighters[i].team, 0);
        }
    }
}

TEST_F(FightSetUp, TheBossLevelsAndTheFirstRobot) {
    setUp("1", 10);
    ASSERT_EQ(g.fighterCount, 2);
    EXPECT_FLOAT_EQ(g.fighters[2].scale, 4.5f);
    EXPECT_FLOAT_EQ(g.arenaRight - g.arenaLeft, 3072.0f);
    EXPECT_FLOAT_EQ(g.arenaBottom - g.arenaTop, 2304.0f);
    EXPECT_FLOAT_EQ(g.fighters[2].maxEnergy, 101.25f);

    setUp("1", 11);
    ASSERT_EQ(g.fighterCount, 2);
    EXPECT_EQ(g.fighters[2].robot, 1);
    EXPECT_FLOAT_EQ(g.fighters[2].scale, 2.0f);
    EXPECT_FLOAT_EQ(g.fighters[2].energy, 40.0f);
    EXPECT_FLOAT_EQ(g.arenaRight - g.arenaLeft, 1536.0f);
}

TEST_F(FightSetUp, CoopLevelEightIsTheLargestFight) {
    setUp("2coop", 8);
    ASSERT_EQ(g.fighterCount, 6);
    const int teams[7] = {0, 1, 1, 0, 0, 0, 0};
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(g.fighters[i].team, teams[i]) << i;
    expectColour(g.fighters[1], 175, 175, 175);
    expectColour(g.fighters[2], 255, 255, 255);
    for (int i = 3; i <= 6; ++i)
        expectColour(g.fighters[i], 65, 65, 65);
    expectArena(g, 3.4);
}

TEST_F(FightSetUp, VersusUsesTheFirstArenaWithADarkSecondPlayer) {
    for (int level : {1, 7, 15}) {
        SCOPED_TRACE(level);
        setUp("2vs", level);
        ASSERT_EQ(g.fighterCount, 2);
        expectArena(g, 1.5);
        const man& two = g.fighters[2];
        EXPECT_FLOAT_EQ(two.scale, 2.0f);
        EXPECT_EQ(two.team, 0);
        EXPECT_EQ(two.robot, 0);
        expectColour(two, 65, 65, 65);
        EXPECT_EQ(g.fighters[1].team, 1);
        expectColour(g.fighters[1], 175, 175, 175);
    }
}

TEST_F(FightSetUp, EachFightGetsNewFighters) {
    setUp("1", 11);
    ASSERT_EQ(g.fighters[2].robot, 1);
    g.fighters[2].points[5].hitFlash = 40;
    g.fighters[2].dead = 1;
    g.fighters[2].heading = DirLeft;
    const float oldX = g.fighters[2].points[5].x;

    setUp("1", 1);
    const man& opponent = g.fighters[2];
    EXPECT_EQ(opponent.robot, 0);
    EXPECT_EQ(opponent.dead, 0);
    EXPECT_EQ(opponent.heading, DirUp);  // a new body, not a set-up again
    EXPECT_FLOAT_EQ(opponent.damageFactor, 1.0f);
    EXPECT_FLOAT_EQ(opponent.jointStiffness[1], 0.1f);  // the normal knee, not the robot's
    expectColour(opponent, 65, 65, 65);
    EXPECT_EQ(opponent.points[5].hitFlash, 0);
    EXPECT_NE(opponent.points[5].x, oldX);
}

TEST_F(FightSetUp, ResetsTheFightAndKeepsWhatCarriesOver) {
    g.fightResult = 3;
    g.matchState = "end";
    g.maxCombo = 9;
    g.totalScore = (std::int64_t{1} << 32) + 7;
    g.score = 5000;
    g.comboCounter = -3;
    g.roundState = 2;
    g.lastContactFrame = 77;
    g.frameCount = 900;
    g.bursts[5].spawn(1, 2, 0, 0, 10, 0, 3.0f, &g, 1);
    g.bursts[5].colourStep = {-2, -2, -2, -2};
    g.burstSlot = 9;
    g.slowMotionTimer = 12.0f;
    g.hitCooldown[1][2] = 6;
    g.cameraX = 123.0f;
    g.zoom = 0.7f;
    g.message = "FIGHT!";
    g.messageTimer = 33;
    headless.advanceClock(5000);

    setUp("1", 3);
    EXPECT_EQ(g.fightResult, 0);
    EXPECT_EQ(g.matchState, "game");
    EXPECT_EQ(g.maxCombo, 0);
    EXPECT_EQ(g.levelStartScore, 7);  // the low 32 bits of the total
    EXPECT_EQ(g.score, 0);
    EXPECT_EQ(g.comboCounter, 0);
    EXPECT_EQ(g.roundState, 0);
    EXPECT_EQ(g.lastContactFrame, 0);
    EXPECT_EQ(g.frameCount, 0);
    EXPECT_NEAR(g.paceTime, clockMillis(), 1);
    EXPECT_GE(g.paceTime, 6000);
    for (int slot = 1; slot <= kBurstSlots; ++slot) {
        EXPECT_EQ(g.bursts[slot].active, 0);
        EXPECT_EQ(g.bursts[slot].count, kBurstCapacity);
        EXPECT_EQ(g.bursts[slot].game, nullptr);
    }
    EXPECT_EQ(g.bursts[5].colourStep[0], 2);

    EXPECT_EQ(g.burstSlot, 9);
    EXPECT_FLOAT_EQ(g.slowMotionTimer, 12.0f);
    EXPECT_EQ(g.hitCooldown[1][2], 6);
    EXPECT_FLOAT_EQ(g.cameraX, 123.0f);
    EXPECT_FLOAT_EQ(g.zoom, 0.7f);
    EXPECT_EQ(g.message, "FIGHT!");
    EXPECT_EQ(g.messageTimer, 33);

    g.totalScore = std::int64_t{0x80000000};
    setUp("1", 3);
    EXPECT_EQ(g.levelStartScore, INT_MIN);
}

TEST_F(FightSetUp, KeysPressedBeforeTheFightAreNotSeen) {
    onKeyDown(KeyP, false);
    onKeyUp(KeyP);
    onKeyDown(KeyEnter, false);
    setUp("1", 1);
    EXPECT_EQ(keyPresses(KeyP), 0);
    EXPECT_EQ(keyPresses(KeyEnter), 0);
}

TEST_F(FightSetUp, ALevelOutsideTheTablePlaysTheNearestLevel) {
    setUp("1", 0);
    EXPECT_EQ(g.fighterCount, 2);
    expectArena(g, 1.5);
    EXPECT_EQ(g.fighters[2].robot, 0);

    setUp("1", 25);
    EXPECT_EQ(g.fighterCount, 2);
    expectArena(g, 3.0);
    EXPECT_EQ(g.fighters[2].robot, 1);
    EXPECT_FLOAT_EQ(g.fighters[2].scale, 4.5f);
}

}  // namespace
