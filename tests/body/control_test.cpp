// The pushes of the players' keys and the computer's steering.
#include "body/control.h"

#include <gtest/gtest.h>

#include "app/gameapp.h"
#include "body/man.h"
#include "runtime/input.h"
#include "tests/body/body_helpers.h"
#include "tests/support/headless_fixture.h"

namespace {

ball headMoving(float vx, float vy) {
    ball head;
    head.vx = vx;
    head.vy = vy;
    return head;
}

PushKeys keys(bool right, bool left, bool down, bool up) {
    PushKeys k;
    k.right = right;
    k.left = left;
    k.down = down;
    k.up = up;
    return k;
}

TEST(BodyControlPush, PlayerOneStopsAddingAtTwiceTheSpeed) {
    ball head = headMoving(7.9f, 0.0f);
    pushPlayerOne(head, keys(true, false, false, false), 4);
    EXPECT_FLOAT_EQ(head.vx, 11.9f);
    head = headMoving(8.0f, 0.0f);
    pushPlayerOne(head, keys(true, false, false, false), 4);
    EXPECT_EQ(head.vx, 8.0f);
    head = headMoving(0.0f, -7.5f);
    pushPlayerOne(head, keys(false, false, false, true), 4);
    EXPECT_FLOAT_EQ(head.vy, -11.5f);
    pushPlayerOne(head, keys(false, false, false, true), 4);
    EXPECT_FLOAT_EQ(head.vy, -11.5f);
    head = headMoving(-8.0f, 8.0f);
    pushPlayerOne(head, keys(false, true, true, false), 4);
    EXPECT_EQ(head.vx, -8.0f);
    EXPECT_EQ(head.vy, 8.0f);
}

TEST(BodyControlPush, PlayerOneKeysActInOrderOnWhatTheLastLeft) {
    // Right then Left: 0 + 4, then 4 > -8 so back to 0.
    ball head = headMoving(0.0f, 0.0f);
    pushPlayerOne(head, keys(true, true, false, false), 4);
    EXPECT_EQ(head.vx, 0.0f);
    // At 6: Right pushes to 10, beyond the cap, and Left still takes it to 6.
    head = headMoving(6.0f, 0.0f);
    pushPlayerOne(head, keys(true, true, false, false), 4);
    EXPECT_EQ(head.vx, 6.0f);
    // At -8: Right brings it to -4 first, so Left may push again.
    head = headMoving(-8.0f, 0.0f);
    pushPlayerOne(head, keys(true, true, false, false), 4);
    EXPECT_EQ(head.vx, -8.0f);
    // Down and Up likewise on vy.
    head = headMoving(0.0f, 8.0f);
    pushPlayerOne(head, keys(false, false, true, true), 4);
    EXPECT_EQ(head.vy, 4.0f);
}

TEST(BodyControlPush, PlayerTwoHasNoCap) {
    ball head = headMoving(100.0f, -100.0f);
    pushPlayerTwo(head, keys(true, false, false, true), 4);
    EXPECT_FLOAT_EQ(head.vx, 104.0f);
    EXPECT_FLOAT_EQ(head.vy, -104.0f);
    head = headMoving(0.0f, 0.0f);
    for (int frame = 0; frame < 10; ++frame)
        pushPlayerTwo(head, keys(true, false, true, false), 4);
    EXPECT_EQ(head.vx, 40.0f);
    EXPECT_EQ(head.vy, 40.0f);
    pushPlayerTwo(head, keys(true, true, false, false), 7);
    EXPECT_EQ(head.vx, 40.0f);
}

TEST(BodyControlPush, EveryDirectionPushesItsComponents) {
    struct Case {
        int direction;
        float vx, vy;
    };
    for (const Case c :
         {Case{DirUp, 0, -3}, Case{DirDown, 0, 3}, Case{DirLeft, -3, 0}, Case{DirRight, 3, 0},
          Case{DirDownRight, 3, 3}, Case{DirUpLeft, -3, -3}, Case{DirUpRight, 3, -3},
          Case{DirDownLeft, -3, 3}, Case{0, 0, 0}, Case{9, 0, 0}}) {
        SCOPED_TRACE(c.direction);
        ball head = headMoving(0.0f, 0.0f);
        pushComputer(head, c.direction, 3);
        EXPECT_EQ(head.vx, c.vx);
        EXPECT_EQ(head.vy, c.vy);
    }
}

TEST(BodyControlPush, ComputerCapIsTheIntegerTwiceTheSpeed) {
    ball head = headMoving(7.9f, -7.9f);
    pushComputer(head, DirUpRight, 4);
    EXPECT_FLOAT_EQ(head.vx, 11.9f);
    EXPECT_FLOAT_EQ(head.vy, -11.9f);
    head = headMoving(8.0f, 8.0f);
    pushComputer(head, DirDownRight, 4);
    EXPECT_EQ(head.vx, 8.0f);
    EXPECT_EQ(head.vy, 8.0f);
    head = headMoving(-8.0f, 0.0f);
    pushComputer(head, DirLeft, 4);
    EXPECT_EQ(head.vx, -8.0f);
}

class BodyControlKeys : public HeadlessTest {
  protected:
    BodyControlKeys() {
        g.playersSpeed = 4;
        g.fighterCount = 2;
        bodytest::setArena(g, 1.5);
        bodytest::makeFighter(g, 1, 2.0f, 2);
        bodytest::makeFighter(g, 2, 2.0f, 2);
        for (int i = 1; i <= 2; ++i) {
            g.fighters[i].points[kHead].vx = 0.0f;
            g.fighters[i].points[kHead].vy = 0.0f;
        }
    }
    const ball& head(int fighter) const { return g.fighters[fighter].points[kHead]; }
    gameapp g;
};

TEST_F(BodyControlKeys, ArrowsPushPlayerOnesHead) {
    headless.keyDownAt(0, KeyRight);
    headless.keyDownAt(0, KeyUp);
    g.controlPlayerOne();
    EXPECT_EQ(head(1).vx, 4.0f);
    EXPECT_EQ(head(1).vy, -4.0f);
    EXPECT_EQ(g.fighters[1].points[kPelvis].vx, 1.0f);  // only the head is pushed
    EXPECT_EQ(head(2).vx, 0.0f);
    g.roundState = 2;
    g.controlPlayerOne();
    EXPECT_EQ(head(1).vx, 4.0f);
    g.roundState = 1;
    g.controlPlayerOne();
    EXPECT_EQ(head(1).vx, 8.0f);
}

TEST_F(BodyControlKeys, WasdPushPlayerTwoOnlyInTwoPlayerModes) {
    headless.keyDownAt(0, KeyD);
    headless.keyDownAt(0, KeyS);
    g.mode = "1";
    g.controlPlayerTwo();
    EXPECT_EQ(head(2).vx, 0.0f);
    g.mode = "2vs";
    g.controlPlayerTwo();
    EXPECT_EQ(head(2).vx, 4.0f);
    EXPECT_EQ(head(2).vy, 4.0f);
    g.mode = "2coop";
    g.controlPlayerTwo();
    EXPECT_EQ(head(2).vx, 8.0f);
    g.roundState = 1;
    g.controlPlayerTwo();
    EXPECT_EQ(head(2).vx, 8.0f);
    g.roundState = 2;
    g.controlPlayerTwo();
    EXPECT_EQ(head(2).vx, 12.0f);
    EXPECT_EQ(head(1).vx, 0.0f);  // the arrows were never held
}

}  // namespace
