// The computer opponent's aims and swings.
#include "body/opponent.h"

#include <gtest/gtest.h>

#include "app/gameapp.h"
#include "body/man.h"
#include "runtime/numbers.h"
#include "tests/body/body_helpers.h"

namespace {

TEST(BodyOpponentTables, FarTargetSectors) {
    struct Case {
        double aim;
        int heading;
    };
    for (const Case c :
         {Case{0.0, DirRight}, Case{359.9, DirRight}, Case{22.4, DirRight}, Case{45.0, DirUpRight},
          Case{90.0, DirUp}, Case{135.0, DirUpLeft}, Case{180.0, DirLeft}, Case{225.0, DirDownLeft},
          Case{270.0, DirDown}, Case{315.0, DirDownRight}, Case{337.6, DirRight}}) {
        EXPECT_EQ(aimHeading(c.aim, 99), c.heading) << c.aim;
    }
    for (const double boundary : {22.5, 67.5, 112.5, 157.5, 202.5, 247.5, 292.5, 337.5}) {
        EXPECT_EQ(aimHeading(boundary, 99), 99) << boundary;
    }
}

TEST(BodyOpponentTables, SwingCells) {
    struct Case {
        double sdx, sdy;
        int side, heading;
    };
    for (const Case c :
         {Case{1, 1, -1, DirUpRight}, Case{1, 1, 1, DirDownLeft}, Case{1, -1, -1, DirUpLeft},
          Case{1, -1, 1, DirDownRight}, Case{-1, 1, -1, DirDownRight}, Case{-1, 1, 1, DirUpLeft},
          Case{-1, -1, -1, DirDownLeft}, Case{-1, -1, 1, DirUpRight}}) {
        EXPECT_EQ(swingHeading(c.sdx, c.sdy, c.side, 99), c.heading)
            << c.sdx << " " << c.sdy << " " << c.side;
    }
    EXPECT_EQ(swingHeading(1, 1, 0, 99), 99);
    EXPECT_EQ(swingHeading(0, 1, 1, 99), 99);
    EXPECT_EQ(swingHeading(-1, 0, -1, 99), 99);
    EXPECT_EQ(swingHeading(0, 0, 1, 99), 99);
}

// A body laid out for steering: every point at the pelvis (0, 0) except the
// head 100 px above it and the shoulders at (sx, sy).
class BodyOpponent : public ::testing::Test {
  protected:
    BodyOpponent() {
        seedRandom(1);
        bodytest::setArena(g, 3.4);
        g.fighterCount = 3;
        for (int i = 1; i <= 3; ++i)
            bodytest::makeFighter(g, i, 2.0f, 3);
    }

    man& layOut(int fighter, float x, float y, float sx, float sy) {
        man& m = g.fighters[fighter];
        bodytest::placeAll(m, x, y);
        m.points[kHead].y = y - 100.0f;
        m.points[kShoulders].x = x + sx;
        m.points[kShoulders].y = y + sy;
        return m;
    }

    // The generator state after n more steps, without disturbing it.
    static int stateAfter(int steps) {
        const int saved = randomState();
        for (int k = 0; k < steps; ++k)
            randomFloat();
        const int result = randomState();
        seedRandom(saved);
        return result;
    }

    // The two draws the next steer will make.
    static void peekDraws(int& reAim, int& swing) {
        const int saved = randomState();
        reAim = randomInt(0, 100);
        swing = randomInt(1, 1024);
        seedRandom(saved);
    }

    // Moves the generator to the next state whose re-aim draw is <= 10 (or > 10).
    static void seekReAim(bool wanted) {
        for (;;) {
            int reAim, swing;
            peekDraws(reAim, swing);
            if ((reAim <= 10) == wanted) return;
            randomFloat();
        }
    }

    gameapp g;
};

TEST_F(BodyOpponent, EveryCallDrawsExactlyTwoNumbers) {
    struct Case {
        float tx, ty, tvx;
        int level;
    };
    for (const Case c : {Case{2000, 0, 0, 1}, Case{2000, 0, 0, 10}, Case{150, 0, 0, 10},
                         Case{150, 0, 0, 1}, Case{0, 50, 0, 10}, Case{300, 0, -3, 10}}) {
        for (int call = 0; call < 50; ++call) {
            man& m = layOut(2, 0, 0, 10, -20);
            const int expected = stateAfter(4);
            m.steer(c.level, 1.0f, 4, c.tx, c.ty, c.tvx, 0.0f);
            ASSERT_EQ(randomState(), expected) << c.tx << " level " << c.level;
        }
    }
}

TEST_F(BodyOpponent, FarTargetReAimsBySector) {
    struct Case {
        float tx, ty;
        int heading;
    };
    // y grows downwards, so a target above has a smaller y.
    for (const Case c :
         {Case{1000, 0, DirRight}, Case{1000, -1000, DirUpRight}, Case{0, -1000, DirUp},
          Case{-1000, -1000, DirUpLeft}, Case{-1000, 0, DirLeft}, Case{-1000, 1000, DirDownLeft},
          Case{0, 1000, DirDown}, Case{1000, 1000, DirDownRight}}) {
        man& m = layOut(2, 0, 0, 0, 0);
        m.heading = 99;
        seekReAim(true);
        m.steer(1, 1.0f, 4, c.tx, c.ty, 0.0f, 0.0f);
        EXPECT_EQ(m.heading, c.heading) << c.tx << ", " << c.ty;

        layOut(2, 0, 0, 0, 0);
        m.heading = 99;
        seekReAim(false);
        m.steer(1, 1.0f, 4, c.tx, c.ty, 0.0f, 0.0f);
        EXPECT_EQ(m.heading, 99) << "no re-aim drawn";
    }
}

TEST_F(BodyOpponent, NeverReAimsWithin400Pixels) {
    int reAims = 0;
    for (int call = 0; call < 600; ++call) {
        man& m = layOut(2, 0, 0, 0, 0);
        m.heading = DirUp;
        int reAim, swing;
        peekDraws(reAim, swing);
        if (reAim <= 10) ++reAims;
        m.steer(10, 1.0f, 4, 399.0f, 0.0f, 0.0f, 0.0f);
        ASSERT_EQ(m.heading, DirUp);
    }
    EXPECT_GT(reAims, 30);  // the draws did come up; the distance held them back
    // One pixel further is far enough.
    man& m = layOut(2, 0, 0, 0, 0);
    m.heading = DirUp;
    seekReAim(true);
    m.steer(10, 1.0f, 4, 401.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(m.heading, DirRight);
}

TEST_F(BodyOpponent, TopLevelSwingsOnEveryPredictedContact) {
    struct Case {
        float tx, sx, sy;
        int heading;
    };
    // Head above the pelvis: a target to the right is on side -1, to the left on side 1.
    for (const Case c : {Case{200, 10, 50, DirUpRight}, Case{-200, 10, 50, DirDownLeft},
                         Case{200, 10, -50, DirUpLeft}, Case{-200, 10, -50, DirDownRight},
                         Case{200, -10, 50, DirDownRight}, Case{-200, -10, 50, DirUpLeft},
                         Case{200, -10, -50, DirDownLeft}, Case{-200, -10, -50, DirUpRight}}) {
        for (int call = 0; call < 20; ++call) {
            man& m = layOut(2, 0, 0, c.sx, c.sy);
            m.heading = 99;
            m.steer(10, 1.0f, 4, c.tx, 0.0f, 0.0f, 0.0f);
            ASSERT_EQ(m.heading, c.heading) << c.tx << " " << c.sx << " " << c.sy;
        }
    }
}

TEST_F(BodyOpponent, NoSwingInLineOrWithLevelShoulders) {
    for (int call = 0; call < 20; ++call) {
        // Target straight below along the axis: side 0.
        man& m = layOut(2, 0, 0, 10, 50);
        m.heading = 99;
        m.steer(10, 1.0f, 4, 0.0f, 100.0f, 0.0f, 0.0f);
        ASSERT_EQ(m.heading, 99);
        // Shoulders exactly at the centre's x.
        layOut(2, 0, 0, 0, 50);
        m.heading = 99;
        m.steer(10, 1.0f, 4, 200.0f, 0.0f, 0.0f, 0.0f);
        ASSERT_EQ(m.heading, 99);
    }
}

TEST_F(BodyOpponent, ContactIsPredictedEighteenFramesAhead) {
    // 300 px away: only a target closing at 3 px per frame gets within 250.
    man& m = layOut(2, 0, 0, 10, 50);
    m.heading = 99;
    m.steer(10, 1.0f, 4, 300.0f, 0.0f, -2.0f, 0.0f);
    EXPECT_EQ(m.heading, 99);
    layOut(2, 0, 0, 10, 50);
    m.steer(10, 1.0f, 4, 300.0f, 0.0f, -3.0f, 0.0f);
    EXPECT_EQ(m.heading, DirUpRight);
    // The body's own mean velocity counts too.
    layOut(2, 0, 0, 10, 50);
    m.heading = 99;
    for (int i = 1; i <= kPointCount; ++i)
        m.points[i].vx = 3.0f;
    m.steer(10, 1.0f, 4, 300.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(m.heading, DirUpRight);
}

TEST_F(BodyOpponent, LowLevelSwingsOnlyWhenTheDrawAllows) {
    int swings = 0;
    for (int call = 0; call < 3000; ++call) {
        man& m = layOut(2, 0, 0, 10, 50);
        m.heading = 99;
        int reAim, swing;
        peekDraws(reAim, swing);
        m.steer(1, 1.0f, 4, 200.0f, 0.0f, 0.0f, 0.0f);
        const bool expected = swing <= 2;
        ASSERT_EQ(m.heading, expected ? DirUpRight : 99) << "draw " << swing;
        if (expected) ++swings;
    }
    EXPECT_GT(swings, 0);
    EXPECT_LT(swings, 30);
}

TEST_F(BodyOpponent, PushesTheHeadingWithTheCap) {
    man& m = layOut(2, 0, 0, 0, 0);
    m.heading = DirDownLeft;
    m.points[kHead].vx = -7.5f;
    m.points[kHead].vy = 8.0f;
    m.steer(1, 1.0f, 4, 0.0f, 399.0f, 0.0f, 0.0f);  // nothing changes the heading here
    EXPECT_EQ(m.heading, DirDownLeft);
    EXPECT_FLOAT_EQ(m.points[kHead].vx, -11.5f);
    EXPECT_EQ(m.points[kHead].vy, 8.0f);
    EXPECT_EQ(m.points[kPelvis].vx, 0.0f);
}

TEST_F(BodyOpponent, CoopTargetPicksTheNearerPlayerAndTiesGoToTwo) {
    layOut(1, -300, 0, 0, 0);
    layOut(2, 300, 0, 0, 0);
    layOut(3, 0, 0, 0, 0);
    EXPECT_EQ(g.coopTarget(3), 2);  // equal distances
    layOut(3, -1, 0, 0, 0);
    EXPECT_EQ(g.coopTarget(3), 1);
    layOut(3, 1, 0, 0, 0);
    EXPECT_EQ(g.coopTarget(3), 2);
    // A dead player is not chosen while the other lives.
    layOut(3, -290, 0, 0, 0);
    g.fighters[1].dead = 1;
    EXPECT_EQ(g.coopTarget(3), 2);
    g.fighters[1].dead = 0;
    g.fighters[2].dead = 1;
    layOut(3, 290, 0, 0, 0);
    EXPECT_EQ(g.coopTarget(3), 1);
    g.fighters[1].dead = 1;
    EXPECT_EQ(g.coopTarget(3), 1);  // both dead: fighter 1
}

TEST_F(BodyOpponent, ModeOneSteersLivingOpponentsAtPlayerOne) {
    g.mode = "1";
    g.aiLevel = 1;
    g.playersSpeed = 4;
    layOut(1, 0, 0, 0, 0);
    man& a = layOut(2, 2000, 0, 0, 0);
    man& b = layOut(3, -2000, 0, 0, 0);
    b.dead = 1;
    a.heading = b.heading = 99;
    seekReAim(true);
    const int expected = stateAfter(4);
    g.steerComputerFighters();
    EXPECT_EQ(randomState(), expected);  // one steer only
    EXPECT_EQ(a.heading, DirLeft);
    EXPECT_EQ(b.heading, 99);
    EXPECT_EQ(b.points[kHead].vx, 0.0f);
    EXPECT_EQ(g.fighters[1].heading, DirUp);
}

TEST_F(BodyOpponent, CoopSteersAtTheChosenPlayerAndTwoVersusNotAtAll) {
    g.mode = "2coop";
    g.aiLevel = 1;
    g.playersSpeed = 4;
    layOut(1, 2000, 0, 0, 0);
    layOut(2, -1000, 0, 0, 0);
    man& c = layOut(3, 0, 0, 0, 0);
    c.heading = 99;
    seekReAim(true);
    g.steerComputerFighters();
    EXPECT_EQ(c.heading, DirLeft);  // fighter 2 is nearer

    layOut(3, 0, 0, 0, 0);
    c.heading = 99;
    g.fighters[2].dead = 1;
    seekReAim(true);
    g.steerComputerFighters();
    EXPECT_EQ(c.heading, DirRight);

    c.dead = 1;
    c.heading = 99;
    int before = randomState();
    g.steerComputerFighters();
    EXPECT_EQ(randomState(), before);
    EXPECT_EQ(c.heading, 99);

    c.dead = 0;
    g.mode = "2vs";
    before = randomState();
    g.steerComputerFighters();
    EXPECT_EQ(randomState(), before);
    EXPECT_EQ(c.heading, 99);
}

}  // namespace
