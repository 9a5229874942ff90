// A fighter's body as set up: topology, sizes, masses, energy and robots.
#include <gtest/gtest.h>

#include "app/gameapp.h"
#include "body/man.h"
#include "runtime/numbers.h"
#include "tests/body/body_helpers.h"

namespace {

using bodytest::makeFighter;

class BodySetUp : public ::testing::Test {
  protected:
    BodySetUp() { seedRandom(1); }
    gameapp g;
};

TEST_F(BodySetUp, ConstructorHoldsTheTopology) {
    const man m;
    EXPECT_EQ(m.heading, DirUp);
    EXPECT_EQ(m.links[0].a, 1);
    EXPECT_EQ(m.links[0].b, 2);
    EXPECT_EQ(m.links[14].a, 15);
    EXPECT_EQ(m.links[14].b, 16);
    EXPECT_EQ(m.links[24].a, 11);
    EXPECT_EQ(m.links[24].b, 26);
    EXPECT_EQ(m.joints[9].a, 5);
    EXPECT_EQ(m.joints[9].b, 6);
    EXPECT_EQ(m.joints[9].c, 12);
    EXPECT_EQ(m.joints[23].a, 25);
    EXPECT_EQ(m.joints[23].b, 1);
    EXPECT_EQ(m.jointRest[9], 200.0f);
    EXPECT_EQ(m.jointRest[10], 160.0f);
    EXPECT_EQ(m.jointRest[15], 90.0f);
    EXPECT_EQ(m.jointRest[19], -90.0f);
    EXPECT_EQ(m.jointStiffness[4], 0.0f);
    EXPECT_EQ(m.jointStiffness[1], 0.1f);
    EXPECT_EQ(m.jointStiffness[17], 0.05f);
    EXPECT_EQ(m.jointStiffness[11], 0.4f);
    EXPECT_EQ(m.points[16].game, nullptr);
    // Every point but the ends is linked; each link joins two different points 1..26.
    std::array<int, kPointCount + 1> degree{};
    for (const Link& l : m.links) {
        ASSERT_NE(l.a, l.b);
        ASSERT_GE(l.a, 1);
        ASSERT_LE(l.b, kPointCount);
        ++degree[l.a];
        ++degree[l.b];
    }
    for (int i = 1; i <= kPointCount; ++i)
        EXPECT_GE(degree[i], 1) << "point " << i;
    EXPECT_EQ(degree[14], 4);  // chest, neck and both arms meet at the shoulders
}

TEST_F(BodySetUp, SizesMassesAndEnergyFollowTheScale) {
    struct Case {
        float scale;
        int mass;
        float energy;
    };
    for (const Case c : {Case{2.0f, 4, 20.0f}, Case{2.4f, 5, 28.8f}, Case{3.4f, 11, 57.8f},
                         Case{4.5f, 20, 101.25f}}) {
        SCOPED_TRACE(c.scale);
        man& m = makeFighter(g, 1, c.scale, 2);
        EXPECT_EQ(m.mass, c.mass);
        EXPECT_FLOAT_EQ(m.maxEnergy, c.energy);
        EXPECT_EQ(m.energy, m.maxEnergy);
        EXPECT_FLOAT_EQ(m.pointRadius, 4.0f * c.scale);
        EXPECT_FLOAT_EQ(m.headRadius, 9.0f * c.scale);
        EXPECT_FLOAT_EQ(m.limbWidth, 2.0f * c.scale);
        EXPECT_EQ(m.damageFactor, 1.0f);
        EXPECT_EQ(m.cameraWeight, 1.0f);
        for (int i = 1; i <= kPointCount; ++i) {
            const ball& p = m.points[i];
            EXPECT_EQ(p.index, i);
            EXPECT_EQ(p.mass, static_cast<float>(c.mass));
            EXPECT_FLOAT_EQ(p.spacing, 4.0f * c.scale);
            EXPECT_FLOAT_EQ(p.radius, i == kHead ? 9.0f * c.scale : 4.0f * c.scale);
            EXPECT_EQ(p.owner, &m);
            EXPECT_EQ(p.game, &g);
            EXPECT_EQ(p.ownerNumber, 1);
            EXPECT_EQ(p.vx, 1.0f);
            EXPECT_EQ(p.vy, 1.0f);
        }
    }
    // The boss: head 40.5, links 36 px.
    const man& boss = makeFighter(g, 2, 4.5f, 2);
    EXPECT_EQ(boss.points[kHead].radius, 40.5f);
    EXPECT_EQ(boss.points[1].spacing + boss.points[2].spacing, 36.0f);
}

TEST_F(BodySetUp, RobotsDoubleDamageAndEnergyAndStiffen) {
    man& m = makeFighter(g, 2, 2.0f, 2, 1);
    EXPECT_EQ(m.points[3].mass, 4.0f);
    EXPECT_EQ(m.maxEnergy, 40.0f);
    EXPECT_EQ(m.energy, 40.0f);
    EXPECT_EQ(m.damageFactor, 2.0f);
    EXPECT_EQ(m.colour[1], 70);
    EXPECT_EQ(m.colour[2], 70);
    EXPECT_EQ(m.colour[3], 90);
    EXPECT_EQ(m.jointStiffness[1], 1.0f);
    EXPECT_EQ(m.jointStiffness[9], 0.2f);
    EXPECT_EQ(m.jointStiffness[15], 0.1f);
    EXPECT_EQ(m.jointStiffness[4], 0.0f);

    const man& boss = makeFighter(g, 3, 4.5f, 3, 1);
    EXPECT_FLOAT_EQ(boss.energy, 202.5f);
}

TEST_F(BodySetUp, StartColumnsAre256PixelsApartAroundZero) {
    auto expectColumn = [](const man& m, double centre) {
        for (int i = 1; i <= kPointCount; ++i) {
            EXPECT_GE(m.points[i].x, centre - 100.0) << "point " << i;
            EXPECT_LT(m.points[i].x, centre + 100.0) << "point " << i;
            EXPECT_GE(m.points[i].y, 0.0f);
            EXPECT_LE(m.points[i].y, 768.0f);
            EXPECT_EQ(m.points[i].y, static_cast<float>(static_cast<int>(m.points[i].y)));
        }
    };
    expectColumn(makeFighter(g, 1, 2.0f, 2), 0.0);
    expectColumn(makeFighter(g, 2, 2.0f, 2), 256.0);
    expectColumn(makeFighter(g, 1, 2.0f, 5), -384.0);
    expectColumn(makeFighter(g, 5, 2.0f, 5), 640.0);
}

TEST_F(BodySetUp, EachPointDrawsItsXThenItsY) {
    seedRandom(20240607);
    const man& m = makeFighter(g, 3, 2.0f, 4);
    seedRandom(20240607);
    for (int i = 1; i <= 2; ++i) {
        const double r = randomFloat();
        const int y = randomInt(0, 768);
        EXPECT_EQ(m.points[i].x, static_cast<float>(r * 200.0 - 100.0 + 256.0)) << "point " << i;
        EXPECT_EQ(m.points[i].y, static_cast<float>(y)) << "point " << i;
    }
    // 26 points, three steps each.
    seedRandom(20240607);
    for (int k = 0; k < 3 * kPointCount; ++k)
        randomFloat();
    const int expectedState = randomState();
    seedRandom(20240607);
    makeFighter(g, 3, 2.0f, 4);
    EXPECT_EQ(randomState(), expectedState);
}

TEST_F(BodySetUp, SettingUpAgainReplacesEveryPoint) {
    man& m = makeFighter(g, 1, 2.0f, 2);
    m.heading = DirLeft;
    m.dead = 1;
    m.cameraWeight = 0.2f;
    for (int i = 1; i <= kPointCount; ++i) {
        m.points[i].hitFlash = 60;
        m.points[i].vx = 33.0f;
        m.points[i].prevX = 5.0f;
    }
    m.setUp(2);
    EXPECT_EQ(m.heading, DirLeft);  // the heading survives rounds
    EXPECT_EQ(m.dead, 0);
    EXPECT_EQ(m.cameraWeight, 1.0f);
    for (int i = 1; i <= kPointCount; ++i) {
        EXPECT_EQ(m.points[i].hitFlash, 0);
        EXPECT_EQ(m.points[i].vx, 1.0f);
        EXPECT_EQ(m.points[i].prevX, 0.0f);
    }
}

TEST_F(BodySetUp, CameraWeightFallsOnlyWhileDeadAndStopsAtZero) {
    man& m = makeFighter(g, 1, 2.0f, 2);
    m.lowerCameraWeight();
    EXPECT_EQ(m.cameraWeight, 1.0f);
    m.dead = 1;
    m.lowerCameraWeight();
    EXPECT_FLOAT_EQ(m.cameraWeight, 0.99f);
    m.cameraWeight = 0.005f;
    m.lowerCameraWeight();
    EXPECT_EQ(m.cameraWeight, 0.0f);
    m.lowerCameraWeight();
    EXPECT_EQ(m.cameraWeight, 0.0f);
}

}  // namespace
