// Whole bodies over many frames, with the headless platform underneath
// because the constraint passes read the keyboard.
#include <gtest/gtest.h>

#include <cmath>

#include "app/gameapp.h"
#include "body/man.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "tests/body/body_helpers.h"
#include "tests/support/determinism.h"
#include "tests/support/headless_fixture.h"

namespace {

using bodytest::makeFighter;
using bodytest::worstLinkError;

class BodySim : public HeadlessTest {
  protected:
    BodySim() {
        g.gravity = 1;
        g.flexibility = 5;
        g.playersSpeed = 4;
        g.aiLevel = 1;
        g.speedFactor = 1.0f;
        bodytest::setArena(g, 1.5);
    }

    void run(man& m, int frames) {
        for (int f = 0; f < frames; ++f) {
            m.savePositions();
            bodytest::stepBody(g, m);
            presentFrame();
        }
    }

    gameapp g;
};

TEST_F(BodySim, BodyLeftAloneSettlesOnTheFloorInShape) {
    openWindow();
    g.fighterCount = 1;
    man& m = makeFighter(g, 1, 2.0f, 1);
    EXPECT_GT(worstLinkError(m), 1.0);  // scattered at the start
    run(m, 700);
    EXPECT_LT(worstLinkError(m), 0.05);
    double lowest = -1e9;
    double fastest = 0.0;
    for (int i = 1; i <= kPointCount; ++i) {
        const ball& p = m.points[i];
        lowest = std::fmax(lowest, static_cast<double>(p.y) + p.radius);
        fastest = std::fmax(fastest, std::hypot(p.vx, p.vy));
    }
    EXPECT_NEAR(lowest, g.arenaBottom, 1.0);
    EXPECT_LT(fastest, 0.5);
    EXPECT_EQ(m.heading, SideFloor);
}

TEST_F(BodySim, DeadBodyFallsApart) {
    openWindow();
    g.fighterCount = 1;
    man& m = makeFighter(g, 1, 2.0f, 1);
    m.dead = 1;
    run(m, 400);
    EXPECT_GT(worstLinkError(m), 1.0);
    // Still falling and bouncing: every point ends inside the arena, most on the floor.
    int onFloor = 0;
    for (int i = 1; i <= kPointCount; ++i) {
        EXPECT_LE(m.points[i].y, g.arenaBottom - m.points[i].radius);
        if (m.points[i].y > g.arenaBottom - m.points[i].radius - 1.0f) ++onFloor;
    }
    EXPECT_GT(onFloor, 20);
}

TEST_F(BodySim, HoldingTwoAndFiveUndoesTheShapeUntilReleased) {
    openWindow();
    g.fighterCount = 1;
    man& m = makeFighter(g, 1, 2.0f, 1);
    run(m, 300);
    ASSERT_LT(worstLinkError(m), 0.05);
    // Scatter the settled body, then hold the chord for a while.
    for (int i = 1; i <= kPointCount; ++i)
        m.points[i].vx = static_cast<float>((i % 5 - 2) * 6);
    const int now = headless.framesPresented();
    headless.keyDownAt(now, Key2);
    headless.keyDownAt(now, Key5);
    headless.keyUpAt(now + 200, Key5);
    run(m, 200);
    EXPECT_GT(worstLinkError(m), 1.0);
    run(m, 400);
    EXPECT_LT(worstLinkError(m), 0.05);
}

TEST_F(BodySim, OneKeyOfTheChordAloneChangesNothing) {
    openWindow();
    g.fighterCount = 1;
    man& m = makeFighter(g, 1, 2.0f, 1);
    headless.keyDownAt(0, Key2);
    run(m, 300);
    EXPECT_LT(worstLinkError(m), 0.05);
}

TEST_F(BodySim, FixedSeedFightIsRepeatableBitForBit) {
    const std::uint64_t first = bodyFightHash();
    EXPECT_EQ(bodyFightHash(), first);
    EXPECT_EQ(first, kBodyFightHash) << "hash 0x" << std::hex << first;
}

}  // namespace
