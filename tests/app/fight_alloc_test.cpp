// A fight frame of six fighters allocates nothing.
#include <gtest/gtest.h>

#include "tests/support/counting_allocator.h"
#include "tests/support/fight_fixture.h"

namespace {

using fighttest::FightTest;

class FightFrameAllocation : public FightTest {};

TEST_F(FightFrameAllocation, TheCounterSeesAnAllocation) {
    SKIP_UNLESS_ALLOCATIONS_ARE_COUNTED();
    static int* volatile sink = nullptr;
    AllocationCounter counter;
    sink = new int(3);
    EXPECT_EQ(counter.count(), 1);
    EXPECT_EQ(counter.largest(), sizeof(int));
    delete sink;
}

TEST_F(FightFrameAllocation, ASixFighterFrameAllocatesNothing) {
    SKIP_UNLESS_ALLOCATIONS_ARE_COUNTED();
    g.media.spark = fighttest::loadSpark();
    ASSERT_NE(g.media.spark, nullptr);
    g.media.blow = loadSound("incbin::blow.wav", 0);
    g.media.block = loadSound("incbin::block.wav", 0);
    setUp("2coop", 8);
    ASSERT_EQ(g.fighterCount, 6);
    onKeyDown(KeyRight, false);
    onKeyDown(KeyW, false);
    frames(105);  // past the intro messages, with "FIGHT!" still showing

    // Blood, robot blood and sparks in flight, as a busy fight has them.
    g.bursts[1].spawn(0, 0, 1, 1, 50, 0, 3.0f, &g, 0);
    g.bursts[2].spawn(10, 0, 0, 0, 30, 0, 3.0f, &g, 1);
    g.bursts[3].spawn(0, 10, 0, 0, 20, 1, 2.0f, &g, 0);
    frames(2);

    const float energyBefore = g.fighters[1].energy + g.fighters[3].energy;
    AllocationCounter counter;
    for (int i = 0; i < 10; ++i) {
        // An opponent heaped on player 1's pelvis: contact events, blows,
        // messages, sounds, blood and sparks.
        for (ball& p : g.fighters[3].points) {
            p.x = g.fighters[1].points[kPelvis].x;
            p.y = g.fighters[1].points[kPelvis].y;
        }
        playFightFrame(g);
        // Bursts spawned inside a frame reuse their slot's storage too.
        g.bursts[4 + i % 3].spawn(5, 5, 0, 0, 40, i % 2, 2.0f, &g, i % 2);
        g.fighters[3].points[16].hitFlash = 60;
    }
    EXPECT_EQ(counter.count(), 0);
    EXPECT_LT(g.fighters[1].energy + g.fighters[3].energy, energyBefore);
    // The frames drew what a fight draws: bodies, particles and the message.
    EXPECT_GT(headless.lastFrame().size(), 6u * 51u);
}

}  // namespace
