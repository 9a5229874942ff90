// The simulation step: angle wrapping, links, joints and the step's order.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/gameapp.h"
#include "body/man.h"
#include "runtime/numbers.h"
#include "tests/body/body_helpers.h"

namespace {

ball pointAt(float x, float y, float spacing = 8.0f, float mass = 4.0f) {
    ball p;
    p.x = x;
    p.y = y;
    p.spacing = spacing;
    p.mass = mass;
    return p;
}

void expectNoShift(const JointShift& s) {
    EXPECT_EQ(s.dxa, 0.0f);
    EXPECT_EQ(s.dya, 0.0f);
    EXPECT_EQ(s.dxb, 0.0f);
    EXPECT_EQ(s.dyb, 0.0f);
    EXPECT_EQ(s.dxc, 0.0f);
    EXPECT_EQ(s.dyc, 0.0f);
}

TEST(BodyStepWrap, KeepsAnglesInRange) {
    EXPECT_EQ(wrap360(0.0), 0.0);
    EXPECT_EQ(wrap360(360.0), 0.0);
    EXPECT_EQ(wrap360(-90.0), 270.0);
    EXPECT_EQ(wrap360(725.0), 5.0);
    EXPECT_EQ(wrap360(-1080.0), 0.0);
    EXPECT_EQ(wrap180(180.0), 180.0);
    EXPECT_EQ(wrap180(-180.0), -180.0);
    EXPECT_EQ(wrap180(181.0), -179.0);
    EXPECT_EQ(wrap180(-181.0), 179.0);
    EXPECT_EQ(wrap180(540.0), 180.0);
    EXPECT_EQ(wrap180(-20.0), -20.0);
}

TEST(BodyStepWrap, MatchesRepeatedSubtractionBitForBit) {
    // Rounding of the loop form is part of the game's angles.
    const double v = 1234.5678901234;
    double loop = v;
    while (loop >= 360.0)
        loop -= 360.0;
    EXPECT_EQ(wrap360(v), loop);
    double loop180 = -v;
    while (loop180 < -180.0)
        loop180 += 360.0;
    EXPECT_EQ(wrap180(-v), loop180);
}

TEST(BodyStepWrap, NonFiniteAnglesComeBackUnchangedAndHugeOnesFinish) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(std::isnan(wrap360(std::nan(""))));
    EXPECT_TRUE(std::isnan(wrap180(std::nan(""))));
    EXPECT_EQ(wrap360(inf), inf);
    EXPECT_EQ(wrap360(-inf), -inf);
    EXPECT_EQ(wrap180(inf), inf);
    EXPECT_EQ(wrap180(-inf), -inf);
    // Far beyond the point where subtracting 360 changes nothing.
    const double a = wrap360(1e300);
    EXPECT_GE(a, 0.0);
    EXPECT_LT(a, 360.0);
    const double b = wrap180(-1e300);
    EXPECT_GE(b, -180.0);
    EXPECT_LE(b, 180.0);
    EXPECT_EQ(wrap360(360.0 * 1e9 + 90.0), 90.0);
}

TEST(BodyStepLink, MovesEachPointAQuarterOfTheError) {
    const man m;
    // 20 px apart, resting at 16: 4 px of stretch, a quarter each way.
    const LinkShift s = m.linkCorrection(pointAt(0, 0), pointAt(20, 0));
    EXPECT_FLOAT_EQ(s.dxa, 1.0f);
    EXPECT_FLOAT_EQ(s.dxb, -1.0f);
    EXPECT_EQ(s.dya, 0.0f);
    EXPECT_EQ(s.dyb, 0.0f);
    // Compressed along a diagonal: pushed apart along it.
    const LinkShift c = m.linkCorrection(pointAt(0, 0), pointAt(6, 8));  // 10 px, rest 16
    EXPECT_FLOAT_EQ(c.dxa, -0.9f);
    EXPECT_FLOAT_EQ(c.dya, -1.2f);
    EXPECT_FLOAT_EQ(c.dxb, 0.9f);
    EXPECT_FLOAT_EQ(c.dyb, 1.2f);
}

TEST(BodyStepLink, LighterPointMovesMore) {
    const man m;
    const LinkShift s = m.linkCorrection(pointAt(0, 0, 8, 1), pointAt(20, 0, 8, 3));
    EXPECT_FLOAT_EQ(s.dxa, 1.5f);
    EXPECT_FLOAT_EQ(s.dxb, -0.5f);
}

TEST(BodyStepLink, CoincidentPointsGiveNoDisplacement) {
    const man m;
    const LinkShift s = m.linkCorrection(pointAt(5, 5), pointAt(5, 5));
    EXPECT_EQ(s.dxa, 0.0f);
    EXPECT_EQ(s.dya, 0.0f);
    EXPECT_EQ(s.dxb, 0.0f);
    EXPECT_EQ(s.dyb, 0.0f);
}

TEST(BodyStepJoint, StraightChainAtRestDoesNothing) {
    const man m;
    const JointShift s =
        m.jointCorrection(pointAt(0, 0), pointAt(10, 0), pointAt(20, 0), 180.0f, 1.0f, 1.0f, 5);
    expectNoShift(s);
}

TEST(BodyStepJoint, StraightChainWithRest200Bends) {
    const man m;
    // dxab = 10, dyab = 0: err -20, factor 0.24, m = -0.012.
    const JointShift s =
        m.jointCorrection(pointAt(0, 0), pointAt(10, 0), pointAt(20, 0), 200.0f, 0.3f, 1.0f, 5);
    EXPECT_NEAR(s.dxa, 0.0, 1e-9);
    EXPECT_FLOAT_EQ(s.dya, 0.12f);  // -0.012 x -dxab
    EXPECT_FLOAT_EQ(s.dyc, 0.12f);
    EXPECT_FLOAT_EQ(s.dyb, -0.24f);
    EXPECT_NEAR(s.dxa + s.dxb + s.dxc, 0.0, 1e-7);
    EXPECT_NEAR(s.dya + s.dyb + s.dyc, 0.0, 1e-7);
}

TEST(BodyStepJoint, RightAngleIsPulledTowardsStraight) {
    const man m;
    // Right, then down (y grows downwards): a bend of 270 at b.
    const ball a = pointAt(0, 0), b = pointAt(10, 0), c = pointAt(10, 10);
    const JointShift still = m.jointCorrection(a, b, c, 270.0f, 1.0f, 1.0f, 5);
    EXPECT_EQ(still.dya, 0.0f);
    EXPECT_EQ(still.dxc, 0.0f);
    // Rest 180: err 90, factor 0.8 capped at 0.7, m = 90 / 400 x 0.7 = 0.1575.
    const JointShift s = m.jointCorrection(a, b, c, 180.0f, 1.0f, 1.0f, 5);
    EXPECT_NEAR(s.dxa, 0.0, 1e-7);
    EXPECT_FLOAT_EQ(s.dya, -1.575f);
    EXPECT_FLOAT_EQ(s.dxc, 1.575f);
    EXPECT_NEAR(s.dyc, 0.0, 1e-7);
    EXPECT_FLOAT_EQ(s.dxb, -1.575f);
    EXPECT_FLOAT_EQ(s.dyb, 1.575f);
    // The ends move apart: the chain straightens.
    const double before = std::hypot(10.0, 10.0);
    const double after = std::hypot(10.0 + s.dxc - s.dxa, 10.0 + s.dyc - s.dya);
    EXPECT_GT(after, before);
    // Half a time step, half the move.
    const JointShift slow = m.jointCorrection(a, b, c, 180.0f, 1.0f, 0.5f, 5);
    EXPECT_FLOAT_EQ(slow.dya, -0.7875f);
}

TEST(BodyStepJoint, StiffnessZeroNeverActs) {
    const man m;
    const JointShift s =
        m.jointCorrection(pointAt(0, 0), pointAt(10, 0), pointAt(10, 10), 180.0f, 0.0f, 1.0f, 5);
    expectNoShift(s);
}

TEST(BodyStepJoint, FlexibilityBelowOneActsAsOne) {
    const man m;
    const ball a = pointAt(0, 0), b = pointAt(10, 0), c = pointAt(10, 10);
    for (const int bad : {0, -3}) {
        SCOPED_TRACE(bad);
        for (const float stiffness : {0.0f, 0.1f, 1.0f}) {
            const JointShift s = m.jointCorrection(a, b, c, 180.0f, stiffness, 1.0f, bad);
            const JointShift one = m.jointCorrection(a, b, c, 180.0f, stiffness, 1.0f, 1);
            EXPECT_EQ(s.dxa, one.dxa);
            EXPECT_EQ(s.dyc, one.dyc);
            EXPECT_TRUE(std::isfinite(s.dxb));
        }
    }
}

class BodyStepPasses : public ::testing::Test {
  protected:
    BodyStepPasses() {
        seedRandom(3);
        bodytest::setArena(g, 1.5);
    }
    gameapp g;
};

TEST_F(BodyStepPasses, LinkPassAppliesTheSumOfAllCorrectionsAtOnce) {
    man& m = bodytest::makeFighter(g, 1, 2.0f, 1);
    man copy = m;
    m.relaxLinks();
    // Every correction computed from the positions before the pass.
    std::array<double, kPointCount + 1> sx{}, sy{};
    for (const Link& l : copy.links) {
        const LinkShift s = copy.linkCorrection(copy.points[l.a], copy.points[l.b]);
        sx[l.a] += s.dxa;
        sy[l.a] += s.dya;
        sx[l.b] += s.dxb;
        sy[l.b] += s.dyb;
    }
    for (int i = 1; i <= kPointCount; ++i) {
        EXPECT_NEAR(m.points[i].x, copy.points[i].x + sx[i], 1e-3) << "point " << i;
        EXPECT_NEAR(m.points[i].y, copy.points[i].y + sy[i], 1e-3) << "point " << i;
    }
}

TEST_F(BodyStepPasses, JointPassAppliesTheSumOfAllCorrectionsAtOnce) {
    man& m = bodytest::makeFighter(g, 1, 2.0f, 1);
    man copy = m;
    m.relaxJoints(0.5f, 5);
    std::array<double, kPointCount + 1> sx{}, sy{};
    for (int j = 0; j < kJointCount; ++j) {
        const Joint& t = copy.joints[j];
        const JointShift s =
            copy.jointCorrection(copy.points[t.a], copy.points[t.b], copy.points[t.c],
                                 copy.jointRest[j], copy.jointStiffness[j], 0.5f, 5);
        sx[t.a] += s.dxa;
        sy[t.a] += s.dya;
        sx[t.b] += s.dxb;
        sy[t.b] += s.dyb;
        sx[t.c] += s.dxc;
        sy[t.c] += s.dyc;
    }
    double moved = 0.0;
    for (int i = 1; i <= kPointCount; ++i) {
        EXPECT_NEAR(m.points[i].x, copy.points[i].x + sx[i], 1e-3) << "point " << i;
        EXPECT_NEAR(m.points[i].y, copy.points[i].y + sy[i], 1e-3) << "point " << i;
        moved += std::fabs(sx[i]) + std::fabs(sy[i]);
    }
    EXPECT_GT(moved, 1.0);  // the scattered start is far from every rest angle
}

TEST_F(BodyStepPasses, WallContactSetsTheHeadingEvenWhenDead) {
    man& m = bodytest::makeFighter(g, 1, 2.0f, 1);
    bodytest::placeAll(m, 0.0f, 0.0f);
    m.dead = 1;
    m.heading = DirRight;
    m.keepInArena();
    EXPECT_EQ(m.heading, DirRight);  // no contact, no change
    m.points[3].y = 1000.0f;         // floor
    m.points[20].x = -900.0f;        // left wall, later in point order
    m.keepInArena();
    EXPECT_EQ(m.heading, SideLeft);
    m.points[25].y = -900.0f;  // ceiling, last in order
    m.points[20].x = -900.0f;
    m.keepInArena();
    EXPECT_EQ(m.heading, SideCeiling);
}

TEST_F(BodyStepPasses, PerPointOperationsReachAll26Points) {
    man& m = bodytest::makeFighter(g, 1, 2.0f, 1);
    for (int i = 1; i <= kPointCount; ++i)
        m.points[i].hitFlash = 5;
    m.savePositions();
    m.applyGravity(10);
    m.moveAll(2.0f);
    m.updateVelocities(2.0f);
    m.tickFlashes();
    for (int i = 1; i <= kPointCount; ++i) {
        const ball& p = m.points[i];
        EXPECT_NEAR(p.x - p.prevX, 2.0, 1e-4) << "point " << i;
        EXPECT_NEAR(p.y - p.prevY, 2.8f, 1e-4) << "point " << i;
        EXPECT_NEAR(p.vy, 1.4, 1e-4) << "point " << i;
        EXPECT_EQ(p.hitFlash, 4);
    }
}

}  // namespace
