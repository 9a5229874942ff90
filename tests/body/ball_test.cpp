// One point: its defaults, walls, gravity and movement.
#include <gtest/gtest.h>

#include "app/gameapp.h"
#include "body/ball.h"
#include "tests/body/body_helpers.h"

namespace {

class BodyBall : public ::testing::Test {
  protected:
    BodyBall() {
        bodytest::setArena(g, 1.5);  // +-768 by +-576
        p.game = &g;
        p.radius = 8.0f;
    }
    gameapp g;
    ball p;
};

TEST_F(BodyBall, NewPointHasTheDocumentedDefaults) {
    const ball fresh;
    EXPECT_EQ(fresh.radius, 20.0f);
    EXPECT_EQ(fresh.x, 0.0f);
    EXPECT_EQ(fresh.vx, 0.0f);
    EXPECT_EQ(fresh.hitFlash, 0);
    EXPECT_EQ(fresh.game, nullptr);
}

TEST_F(BodyBall, RightWallBounceHalvesAndReflects) {
    p.x = 768.0f - 8.0f + 3.0f;
    p.y = 0.0f;
    p.vx = 10.0f;
    p.vy = 6.0f;
    EXPECT_EQ(p.keepInArena(), SideRight);
    EXPECT_EQ(p.x, 760.0f);
    EXPECT_EQ(p.vx, -5.0f);
    EXPECT_EQ(p.vy, 3.0f);
}

TEST_F(BodyBall, EachWallSetsItsSide) {
    p.x = -800.0f;
    p.vx = -4.0f;
    p.vy = 2.0f;
    EXPECT_EQ(p.keepInArena(), SideLeft);
    EXPECT_EQ(p.x, -760.0f);
    EXPECT_EQ(p.vx, 2.0f);
    EXPECT_EQ(p.vy, 1.0f);

    p.x = 0.0f;
    p.y = 600.0f;
    p.vx = 4.0f;
    p.vy = 8.0f;
    EXPECT_EQ(p.keepInArena(), SideFloor);
    EXPECT_EQ(p.y, 568.0f);
    EXPECT_EQ(p.vy, -4.0f);
    EXPECT_EQ(p.vx, 2.0f);

    p.y = -700.0f;
    p.vy = -8.0f;
    EXPECT_EQ(p.keepInArena(), SideCeiling);
    EXPECT_EQ(p.y, -568.0f);
    EXPECT_EQ(p.vy, 4.0f);
    EXPECT_EQ(p.vx, 1.0f);
}

TEST_F(BodyBall, CornerCorrectsBothAxesAndReportsTheFloor) {
    p.x = 900.0f;
    p.y = 900.0f;
    p.vx = 8.0f;
    p.vy = 8.0f;
    EXPECT_EQ(p.keepInArena(), SideFloor);
    EXPECT_EQ(p.x, 760.0f);
    EXPECT_EQ(p.y, 568.0f);
    // Wall first: vx reflected to -4 and vy scraped to 4; then the floor
    // reflects vy to -2 and scrapes vx to -2.
    EXPECT_EQ(p.vx, -2.0f);
    EXPECT_EQ(p.vy, -2.0f);
}

TEST_F(BodyBall, TouchingAWallExactlyIsLeftAlone) {
    p.x = 760.0f;
    p.y = 568.0f;
    p.vx = 3.0f;
    p.vy = 3.0f;
    EXPECT_EQ(p.keepInArena(), SideNone);
    p.x = -760.0f;
    p.y = -568.0f;
    EXPECT_EQ(p.keepInArena(), SideNone);
    EXPECT_EQ(p.vx, 3.0f);
    EXPECT_EQ(p.vy, 3.0f);
}

TEST_F(BodyBall, PointWithoutAGameIsNotClamped) {
    ball loose;
    loose.x = 1e6f;
    EXPECT_EQ(loose.keepInArena(), SideNone);
    EXPECT_EQ(loose.x, 1e6f);
}

TEST_F(BodyBall, GravityAddsFourHundredthsPerStep) {
    p.vy = 1.5f;
    p.applyGravity(0);
    EXPECT_EQ(p.vy, 1.5f);
    p.applyGravity(10);
    EXPECT_FLOAT_EQ(p.vy, 1.9f);
    p.applyGravity(1);
    EXPECT_FLOAT_EQ(p.vy, 1.94f);
}

TEST_F(BodyBall, MoveAndVelocityAreInverseThroughTheTimeStep) {
    p.x = 10.0f;
    p.y = 20.0f;
    p.savePosition();
    EXPECT_EQ(p.prevX, 10.0f);
    EXPECT_EQ(p.prevY, 20.0f);
    p.vx = 4.0f;
    p.vy = -2.0f;
    p.move(0.5f);
    EXPECT_EQ(p.x, 12.0f);
    EXPECT_EQ(p.y, 19.0f);
    p.updateVelocity(1.0f);
    EXPECT_EQ(p.vx, 2.0f);
    EXPECT_EQ(p.vy, -1.0f);
    // The same displacement over half a step is twice the speed.
    p.updateVelocity(0.5f);
    EXPECT_EQ(p.vx, 4.0f);
    EXPECT_EQ(p.vy, -2.0f);
}

TEST_F(BodyBall, FlashCountsDownToZeroAndStops) {
    p.hitFlash = 2;
    p.tickFlash();
    EXPECT_EQ(p.hitFlash, 1);
    p.tickFlash();
    EXPECT_EQ(p.hitFlash, 0);
    p.tickFlash();
    EXPECT_EQ(p.hitFlash, 0);
}

}  // namespace
