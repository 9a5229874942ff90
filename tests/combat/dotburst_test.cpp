// Particle bursts: spawned, flying, falling and fading.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/fight_fixture.h"

namespace {

using fighttest::FightTest;
using fighttest::Shape;

class DotBurst : public FightTest {
  protected:
    DotBurst() {
        setUp("1", 1);
        g.cameraX = 0.0f;
        g.cameraY = 0.0f;
        presentFrame();
    }
    std::vector<Shape> drawn() const {
        return fighttest::shapes(headless, headless.currentFrame());
    }
    // One frame of the ring as the match loop runs it, on a fresh record.
    std::vector<Shape> frame(float zoom = 1.0f) {
        presentFrame();
        g.updateBursts(zoom);
        return drawn();
    }
};

TEST_F(DotBurst, SpawnThrowsEveryParticleFromThePointWithinTheSpread) {
    // Three colour draws, red first, then an angle and a speed per particle.
    seedRandom(99);
    const int red = randomInt(0, 255);
    const int green = randomInt(0, 255);
    const int blue = randomInt(0, 255);
    const double angle = randomFloat() * 360.0;
    const double speed = randomFloat() * 3.0 * 2.0 - 3.0;
    for (int i = 2; i <= 30; ++i) {
        randomFloat();
        randomFloat();
    }
    const int after = randomState();

    dotburst& b = g.bursts[2];
    seedRandom(99);
    b.spawn(100.0f, -50.0f, 2.0f, -1.0f, 30, 0, 3.0f, &g, 1);
    EXPECT_EQ(randomState(), after);
    EXPECT_EQ(b.colour[0], red);
    EXPECT_EQ(b.colour[1], green);
    EXPECT_EQ(b.colour[2], blue);
    EXPECT_FLOAT_EQ(b.pvx[1], static_cast<float>(cosDeg(angle) * speed + 2.0));
    EXPECT_FLOAT_EQ(b.pvy[1], static_cast<float>(sinDeg(angle) * speed - 1.0));

    EXPECT_EQ(b.active, 1);
    EXPECT_EQ(b.count, 30);
    EXPECT_EQ(b.kind, 0);
    EXPECT_EQ(b.tinted, 1);
    EXPECT_EQ(b.game, &g);
    EXPECT_FLOAT_EQ(b.life, 1.0f);
    EXPECT_FLOAT_EQ(b.dotSize, 3.0f);
    for (int i = 1; i <= 30; ++i) {
        EXPECT_EQ(b.px[i], 100.0f);
        EXPECT_EQ(b.py[i], -50.0f);
        EXPECT_LE(std::hypot(b.pvx[i] - 2.0, b.pvy[i] + 1.0), 3.0 + 1e-5) << i;
    }
}

TEST_F(DotBurst, TheCountIsHeldToTheStorage) {
    dotburst& b = g.bursts[1];
    b.spawn(0, 0, 0, 0, 50, 0, 3.0f, &g, 0);
    EXPECT_EQ(b.count, 50);
    std::vector<Shape> shown = frame();
    EXPECT_EQ(shown.size(), 50u);

    b.spawn(0, 0, 0, 0, 500, 0, 3.0f, &g, 0);
    EXPECT_EQ(b.count, kBurstCapacity);
    shown = frame();
    EXPECT_EQ(shown.size(), 51u);

    b.spawn(0, 0, 0, 0, -4, 0, 3.0f, &g, 0);
    EXPECT_EQ(b.count, 0);
    EXPECT_EQ(b.active, 1);
}

TEST_F(DotBurst, WithoutBloodABlowLivesFiftyOneFramesShowingNothing) {
    dotburst& b = g.bursts[7];
    b.spawn(0, 0, 0, 0, 0, 0, 3.0f, &g, 0);
    for (int f = 1; f <= 50; ++f) {
        EXPECT_TRUE(frame().empty()) << f;
        EXPECT_EQ(b.active, 1) << f;
    }
    EXPECT_TRUE(frame().empty());
    EXPECT_EQ(b.active, 0);
}

TEST_F(DotBurst, BloodFadesOutOverFiftyOneFrames) {
    dotburst& b = g.bursts[3];
    b.spawn(0, 0, 0, 0, 10, 0, 3.0f, &g, 0);
    std::vector<int> alphas;
    for (int f = 0; f < 60; ++f) {
        const std::vector<Shape> shown = frame();
        if (!shown.empty()) {
            EXPECT_EQ(shown.size(), 10u);
            alphas.push_back(shown.front().paint.alpha);
            EXPECT_EQ(shown.front().paint.blend, Translucent);
            EXPECT_TRUE(shown.front().colour(255, 0, 0));
        }
    }
    ASSERT_EQ(alphas.size(), 51u);
    EXPECT_EQ(alphas.front(), toInt(0.98 * 255));
    // The 50th draw is at a life just above 0, the 51st at a life just below.
    EXPECT_EQ(alphas[49], 0);
    EXPECT_EQ(alphas[50], 0);
    for (std::size_t i = 1; i < 50; ++i)
        EXPECT_LT(alphas[i], alphas[i - 1]);
    EXPECT_EQ(drawState().blend, Cutout);
    EXPECT_EQ(drawState().alphaByte, 255);
}

TEST_F(DotBurst, ParticlesFlyStraightAndFall) {
    dotburst& b = g.bursts[1];
    b.spawn(0, 0, 0, 0, 5, 0, 3.0f, &g, 0);
    const float x = b.px[3], y = b.py[3], vx = b.pvx[3], vy = b.pvy[3];
    g.speedFactor = 0.2f;  // slow motion slows the fighters, not the particles
    frame();
    EXPECT_FLOAT_EQ(b.px[3], x + vx);
    EXPECT_FLOAT_EQ(b.py[3], y + vy);
    EXPECT_FLOAT_EQ(b.pvx[3], vx);
    EXPECT_FLOAT_EQ(b.pvy[3], static_cast<float>(vy + 0.04));
    EXPECT_FLOAT_EQ(b.life, 0.98f);
}

TEST_F(DotBurst, BloodDiscsAreDrawnThroughTheCamera) {
    dotburst& b = g.bursts[1];
    b.spawn(200.0f, 100.0f, 0, 0, 1, 0, 0.0f, &g, 0);  // no spread: the particle only falls
    g.cameraX = 100.0f;
    g.cameraY = 50.0f;
    const std::vector<Shape> shown = frame(0.5f);
    ASSERT_EQ(shown.size(), 1u);
    // screen(px - 3); without spread the first step only starts the fall.
    EXPECT_NEAR(shown[0].minX(), (197.0 - 100.0) * 0.5 + 512.0, 1e-3);
    EXPECT_NEAR(shown[0].maxX(), (197.0 - 100.0) * 0.5 + 512.0 + 3.0, 1e-3);
    EXPECT_NEAR(shown[0].minY(), (97.0 - 50.0) * 0.5 + 384.0, 1e-3);
    EXPECT_GE(shown[0].vertices(), 12);
}

TEST_F(DotBurst, ARespawnReplacesEveryOldParticle) {
    dotburst& b = g.bursts[4];
    b.spawn(0, 0, 0, 0, 50, 0, 3.0f, &g, 0);
    for (int f = 0; f < 49; ++f)
        frame();
    ASSERT_EQ(b.active, 1);
    b.spawn(500.0f, 300.0f, 0, 0, 10, 0, 0.0f, &g, 0);
    const std::vector<Shape> shown = frame();
    ASSERT_EQ(shown.size(), 10u);
    for (const Shape& s : shown) {
        EXPECT_NEAR(s.centreX(), 500.0 + 512.0, 1e-3);
        EXPECT_NEAR(s.centreY(), 300.0 + 384.0, 1e-3);
        EXPECT_EQ(s.paint.alpha, toInt(0.98 * 255));
    }
}

TEST_F(DotBurst, RobotBloodIsYellowSquares) {
    dotburst& b = g.bursts[9];
    b.spawn(0, 0, 0, 0, 20, 0, 3.0f, &g, 1);
    const std::vector<Shape> shown = frame(2.0f);
    ASSERT_EQ(shown.size(), 20u);
    for (const Shape& s : shown) {
        EXPECT_EQ(s.vertices(), 4);
        EXPECT_TRUE(s.colour(255, 255, 0));
        EXPECT_NEAR(s.maxX() - s.minX(), 12.0, 1e-3);
        EXPECT_EQ(s.paint.blend, Translucent);
    }
}

TEST_F(DotBurst, SparksAreThePictureAddedInTheBurstColour) {
    g.media.spark = fighttest::loadSpark();
    ASSERT_NE(g.media.spark, nullptr);
    dotburst& b = g.bursts[11];
    b.spawn(64.0f, 32.0f, 0, 0, 20, 1, 0.0f, &g, 0);
    const std::vector<Shape> shown = frame(0.5f);
    ASSERT_EQ(shown.size(), 20u);
    for (const Shape& s : shown) {
        EXPECT_EQ(s.kind, Primitive::Texture);
        EXPECT_EQ(s.paint.blend, Additive);
        EXPECT_TRUE(s.colour(b.colour[0], b.colour[1], b.colour[2]));
        EXPECT_FLOAT_EQ(s.w, 32.0f);
        EXPECT_FLOAT_EQ(s.h, 32.0f);
        // Centred on the particle: screen(px - 32) at zoom 0.5.
        EXPECT_NEAR(s.x, (64.0 - 32.0) * 0.5 + 512.0, 1e-3);
        EXPECT_NEAR(s.y, (32.0 - 32.0) * 0.5 + 384.0, 1e-3);
    }
    EXPECT_EQ(drawState().scaleX, 1.0f);
    EXPECT_EQ(drawState().blend, Cutout);

    // A tinted plasma burst still takes the plasma colour.
    b.spawn(0, 0, 0, 0, 3, 1, 2.0f, &g, 1);
    for (const Shape& s : frame())
        EXPECT_TRUE(s.colour(b.colour[0], b.colour[1], b.colour[2]));
}

TEST_F(DotBurst, SparksWithoutThePictureDrawNothing) {
    g.media.spark = nullptr;
    g.bursts[1].spawn(0, 0, 0, 0, 20, 1, 2.0f, &g, 0);
    EXPECT_TRUE(frame().empty());
    EXPECT_EQ(g.bursts[1].active, 1);
}

TEST_F(DotBurst, ThePlasmaColourDriftsByTwoAndStaysInRange) {
    dotburst& b = g.bursts[1];
    b.spawn(0, 0, 0, 0, 0, 1, 2.0f, &g, 0);
    b.colour = {254, 1, 100};
    b.colourStep = {2, -2, 2, 2};
    b.cycleColour();
    EXPECT_EQ(b.colour[0], 252);
    EXPECT_EQ(b.colour[1], 3);
    EXPECT_EQ(std::abs(b.colour[2] - 100), 2);
    for (int f = 0; f < 5000; ++f) {
        b.cycleColour();
        for (int c = 0; c < 3; ++c) {
            ASSERT_GE(b.colour[c], 0);
            ASSERT_LE(b.colour[c], 255);
        }
    }
}

TEST_F(DotBurst, OnlyLiveSlotsAreMovedAndDrawn) {
    g.bursts[6].spawn(0, 0, 0, 0, 4, 0, 3.0f, &g, 0);
    g.bursts[12].spawn(0, 0, 0, 0, 6, 0, 3.0f, &g, 0);
    g.bursts[12].active = 0;
    const float before = g.bursts[12].px[1];
    EXPECT_EQ(frame().size(), 4u);
    EXPECT_EQ(g.bursts[12].px[1], before);
    EXPECT_FLOAT_EQ(g.bursts[12].life, 1.0f);
}

}  // namespace
