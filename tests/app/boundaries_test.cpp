// Comparisons whose exact boundary no broader test would notice moving.
#include <gtest/gtest.h>

#include <cmath>

#include "body/opponent.h"
#include "tests/body/body_helpers.h"
#include "tests/support/fight_fixture.h"

namespace {

using fighttest::FightTest;
using fighttest::Shape;

using Boundaries = FightTest;

// Moves the generator on until the computer's next re-aim draw comes up.
void seekReAimDraw() {
    for (;;) {
        const int saved = randomState();
        const int reAim = randomInt(0, 100);
        seedRandom(saved);
        if (reAim <= 10) return;
        randomFloat();
    }
}

TEST_F(Boundaries, ExactValuesFallOnTheirSide) {
    // The arena's screen edges round halves up: a left edge at 100.5 is drawn at 101.
    g.arenaLeft = -411.5f;
    g.arenaRight = 411.5f;
    g.arenaTop = -300.0f;
    g.arenaBottom = 300.0f;
    g.cameraX = 0.0f;
    g.cameraY = 0.0f;
    g.zoom = 1.0f;
    presentFrame();
    g.drawArena();
    int leftWalls = 0;
    for (const Shape& s : fighttest::shapes(headless, headless.currentFrame())) {
        if (s.kind != Primitive::Polygon || s.minX() != 0.0f || s.maxY() != 768.0f) continue;
        EXPECT_EQ(s.maxX(), 101.0f);
        ++leftWalls;
    }
    EXPECT_EQ(leftWalls, 1);

    // The computer turns to a target only when it is more than 400 px away.
    setUp("1", 1);
    man& m = g.fighters[2];
    for (const float distance : {400.0f, std::nextafter(400.0f, 401.0f)}) {
        bodytest::placeAll(m, 0.0f, 0.0f);
        m.heading = DirUp;
        seekReAimDraw();
        m.steer(1, 1.0f, 4, distance, 0.0f, 0.0f, 0.0f);
        EXPECT_EQ(m.heading, distance > 400.0f ? DirRight : DirUp) << distance;
    }

    // A target is off to one side only beyond 20 degrees of the body's axis.
    EXPECT_EQ(targetSide(20.0), 0);
    EXPECT_EQ(targetSide(std::nextafter(20.0, 21.0)), 1);
    EXPECT_EQ(targetSide(-20.0), 0);
    EXPECT_EQ(targetSide(std::nextafter(-20.0, -21.0)), -1);
}

}  // namespace
