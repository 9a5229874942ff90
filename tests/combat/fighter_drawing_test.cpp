// Fighters as drawn: points, limbs, wristbands and tints.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/fight_fixture.h"

namespace {

using fighttest::FightTest;
using fighttest::Shape;

class FighterDrawing : public FightTest {
  protected:
    FighterDrawing() {
        setUp("1", 1);
        g.cameraX = 0.0f;
        g.cameraY = 0.0f;
        presentFrame();  // start from an empty record
    }

    man& fighter(int i = 1) { return g.fighters[i]; }

    // Every point somewhere of its own, so each disc and each limb can be told
    // apart by where it is drawn.
    static void spreadOut(man& m) {
        for (int p = 1; p <= kPointCount; ++p) {
            m.points[p].x = static_cast<float>(p * 100 - 1300);
            m.points[p].y = static_cast<float>((p * p * 7) % 97 * 10 - 480);
        }
    }

    std::vector<Shape> drawn() const {
        return fighttest::only(fighttest::shapes(headless, headless.currentFrame()),
                               Primitive::Polygon);
    }

    // What each drawn polygon shows: "L<k>" for the quad of link k (centred on
    // the link's midpoint), "P<p>" for the disc of point p (centred on it).
    std::vector<std::string> labels(const man& m, float zoom) const {
        std::vector<std::string> out;
        for (const Shape& s : drawn()) {
            std::string label = "?";
            double cx = 0.0, cy = 0.0;
            for (int i = 0; i < s.vertices(); ++i) {
                cx += s.xy[static_cast<std::size_t>(2 * i)];
                cy += s.xy[static_cast<std::size_t>(2 * i + 1)];
            }
            cx /= s.vertices();
            cy /= s.vertices();
            if (s.vertices() == 4) {
                for (int k = 0; k < kLinkCount; ++k) {
                    const ball& a = m.points[m.links[k].a];
                    const ball& b = m.points[m.links[k].b];
                    const double mx = ((a.x + b.x) / 2.0 - g.cameraX) * zoom + 512.0;
                    const double my = ((a.y + b.y) / 2.0 - g.cameraY) * zoom + 384.0;
                    if (std::fabs(mx - cx) < 0.01 && std::fabs(my - cy) < 0.01) {
                        label = "L" + std::to_string(k);
                    }
                }
            } else {
                for (int p = 1; p <= kPointCount; ++p) {
                    const double px = (m.points[p].x - g.cameraX) * zoom + 512.0;
                    const double py = (m.points[p].y - g.cameraY) * zoom + 384.0;
                    if (std::fabs(px - s.centreX()) < 0.01 && std::fabs(py - s.centreY()) < 0.01) {
                        label = "P" + std::to_string(p);
                    }
                }
            }
            out.push_back(label);
        }
        return out;
    }

    // The colour of the quad drawn for link k.
    Shape limb(const man& m, int k) const {
        const std::vector<std::string> names = labels(m, 1.0f);
        const std::vector<Shape> all = drawn();
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == "L" + std::to_string(k)) return all[i];
        }
        ADD_FAILURE() << "link " << k << " not drawn";
        return Shape{};
    }
    Shape disc(const man& m, int p) const {
        const std::vector<std::string> names = labels(m, 1.0f);
        const std::vector<Shape> all = drawn();
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == "P" + std::to_string(p)) return all[i];
        }
        ADD_FAILURE() << "point " << p << " not drawn";
        return Shape{};
    }
};

// Back to front: shoulders and hips, spine to head, first arm, second arm,
// second leg, then the first leg with its toe in front.
const std::vector<std::string> kBackToFront = {
    "L19", "L15", "L10", "L5",  "L4",  "P6",  "L11", "P12", "L12", "P13", "L13", "P14", "L14",
    "P15", "P16", "L16", "P17", "L17", "P18", "P19", "P20", "L18", "L20", "P21", "L21", "P22",
    "P23", "P24", "L22", "L6",  "P7",  "L7",  "P8",  "L8",  "P9",  "L9",  "P10", "P11", "P26",
    "L24", "L3",  "P5",  "L2",  "P4",  "L1",  "P3",  "L0",  "P2",  "P1",  "P25", "L23"};

TEST_F(FighterDrawing, DrawsEveryPointAndLimbBackToFront) {
    spreadOut(fighter());
    fighter().draw(1.0f, 1.0f);
    EXPECT_EQ(labels(fighter(), 1.0f), kBackToFront);

    // The same order at another zoom and camera.
    presentFrame();
    g.cameraX = 40.0f;
    g.cameraY = -25.0f;
    fighter().draw(1.0f, 0.3f);
    EXPECT_EQ(labels(fighter(), 0.3f), kBackToFront);
}

TEST_F(FighterDrawing, ALimbRunsFromDiscCentreToDiscCentreAsWideAsTheDiscs) {
    spreadOut(fighter());
    fighter().points[14].x = 0.0f;
    fighter().points[14].y = 0.0f;
    fighter().points[21].x = 10.0f;
    fighter().points[21].y = 0.0f;
    fighter().draw(1.0f, 1.0f);
    const Shape quad = drawn().front();  // link 19, from 14 to 21
    ASSERT_EQ(quad.vertices(), 4);
    const std::vector<float> expected = {512, 392, 522, 392, 522, 376, 512, 376};
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_FLOAT_EQ(quad.xy[i], expected[i]) << i;
}

TEST_F(FighterDrawing, APointIsADiscOfItsRadiusThroughTheCamera) {
    spreadOut(fighter());
    fighter().points[6].x = 100.0f;
    fighter().points[6].y = 50.0f;
    g.cameraX = 20.0f;
    g.cameraY = 10.0f;
    fighter().draw(1.0f, 0.5f);
    const Shape pelvis = drawn()[5];
    EXPECT_GE(pelvis.vertices(), 12);
    // Radius 8 at zoom 0.5: the box from screen(x - 8) is 8 pixels wide.
    EXPECT_NEAR(pelvis.minX(), 548.0, 1e-3);
    EXPECT_NEAR(pelvis.maxX(), 556.0, 1e-3);
    EXPECT_NEAR(pelvis.minY(), 400.0, 1e-3);
    EXPECT_NEAR(pelvis.maxY(), 408.0, 1e-3);
    EXPECT_TRUE(pelvis.colour(175, 175, 175));
}

TEST_F(FighterDrawing, WristbandsShowTheEnergyLeft) {
    spreadOut(fighter());
    fighter().draw(1.0f, 1.0f);
    EXPECT_TRUE(limb(fighter(), 18).colour(175, 175, 175));
    EXPECT_TRUE(limb(fighter(), 22).colour(175, 175, 175));

    presentFrame();
    fighter().energy = fighter().maxEnergy / 2.0f;
    fighter().draw(1.0f, 1.0f);
    EXPECT_TRUE(limb(fighter(), 18).colour(215, 87, 87));
    EXPECT_TRUE(limb(fighter(), 22).colour(215, 87, 87));
    EXPECT_TRUE(limb(fighter(), 17).colour(175, 175, 175));  // the rest keeps the body colour

    presentFrame();
    fighter().energy = 0.0f;
    fighter().draw(1.0f, 1.0f);
    EXPECT_TRUE(limb(fighter(), 18).colour(255, 0, 0));
    EXPECT_TRUE(limb(fighter(), 22).colour(255, 0, 0));
}

TEST_F(FighterDrawing, ARobotSWristbandsRunToYellow) {
    setUp("1", 11);
    presentFrame();
    man& robot = fighter(2);
    spreadOut(robot);
    robot.energy = 0.0f;
    robot.draw(1.0f, 1.0f);
    EXPECT_TRUE(limb(robot, 18).colour(255, 255, 0));
    EXPECT_TRUE(limb(robot, 22).colour(255, 255, 0));
    EXPECT_TRUE(limb(robot, 10).colour(70, 70, 90));
}

TEST_F(FighterDrawing, ABodyThatNeverHadEnergyShowsItsOwnColour) {
    man loose;
    loose.colour = {0, 65, 65, 65};
    loose.maxEnergy = 0.0f;
    spreadOut(loose);
    loose.draw(1.0f, 1.0f);
    for (const Shape& s : drawn())
        EXPECT_TRUE(s.colour(65, 65, 65));
}

TEST_F(FighterDrawing, AStruckPointIsTintedAndFades) {
    man& opponent = fighter(2);
    spreadOut(opponent);
    opponent.points[6].hitFlash = 30;
    opponent.points[12].hitFlash = 60;
    opponent.draw(1.0f, 1.0f);
    EXPECT_TRUE(disc(opponent, 6).colour(160, 33, 33));
    EXPECT_TRUE(disc(opponent, 12).colour(255, 0, 0));
    EXPECT_TRUE(disc(opponent, 13).colour(65, 65, 65));

    setUp("1", 11);
    presentFrame();
    man& robot = fighter(2);
    spreadOut(robot);
    robot.points[6].hitFlash = 60;
    robot.draw(1.0f, 1.0f);
    EXPECT_TRUE(disc(robot, 6).colour(255, 255, 0));
}

TEST_F(FighterDrawing, ARobotHasASquareHeadHandsAndToes) {
    setUp("1", 11);
    presentFrame();
    man& robot = fighter(2);
    spreadOut(robot);
    robot.points[15].x = 0.0f;
    robot.points[15].y = 0.0f;
    robot.points[16].x = 100.0f;
    robot.points[16].y = 0.0f;
    robot.draw(1.0f, 1.0f);
    const std::vector<Shape> all = drawn();
    ASSERT_EQ(all.size(), 51u);
    // Point 16 is the fifteenth shape drawn; a square of half-side 0.886 r
    // turned along the neck.
    const Shape headSquare = all[14];
    ASSERT_EQ(headSquare.vertices(), 4);
    const float h = static_cast<float>(0.886 * 18.0);
    const std::vector<float> expected = {612 + h, 384 + h, 612 - h, 384 + h,
                                         612 - h, 384 - h, 612 + h, 384 - h};
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_NEAR(headSquare.xy[i], expected[i], 1e-3) << i;

    // Hands and toes are squares, the ankles stay discs.
    EXPECT_EQ(all[20].vertices(), 4);  // point 20
    EXPECT_EQ(all[27].vertices(), 4);  // point 24
    EXPECT_EQ(all[38].vertices(), 4);  // point 26
    EXPECT_EQ(all[49].vertices(), 4);  // point 25
    EXPECT_GT(all[48].vertices(), 4);  // point 1
    EXPECT_GT(all[37].vertices(), 4);  // point 11
}

TEST_F(FighterDrawing, ADeadFighterLosesItsLimbs) {
    spreadOut(fighter());
    fighter().dead = 1;
    fighter().draw(1.0f, 1.0f);
    const std::vector<Shape> all = drawn();
    ASSERT_EQ(all.size(), 26u);
    for (const Shape& s : all)
        EXPECT_GT(s.vertices(), 4);
    // Each point puts the colour back to white; here a point is drawn last.
    EXPECT_EQ(drawState().r, 255);
    EXPECT_EQ(drawState().g, 255);
    EXPECT_EQ(drawState().b, 255);
}

TEST_F(FighterDrawing, IsTranslucentWhileFadingInThenRestoresTheState) {
    spreadOut(fighter());
    fighter().draw(0.5f, 1.0f);
    const std::vector<Shape> all = drawn();
    ASSERT_EQ(all.size(), 51u);
    for (const Shape& s : all) {
        EXPECT_EQ(s.paint.blend, Translucent);
        EXPECT_EQ(s.paint.alpha, 127);
    }
    EXPECT_EQ(drawState().blend, Cutout);
    EXPECT_EQ(drawState().alphaByte, 255);
}

TEST_F(FighterDrawing, PiecesWithoutADirectionAreLeftOut) {
    spreadOut(fighter());
    fighter().points[20].x = fighter().points[19].x;
    fighter().points[20].y = fighter().points[19].y;
    fighter().draw(1.0f, 1.0f);
    std::vector<Shape> all = drawn();
    EXPECT_EQ(all.size(), 50u);  // link 18 has no length
    for (const Shape& s : all) {
        for (float v : s.xy)
            ASSERT_TRUE(std::isfinite(v));
    }

    setUp("1", 11);
    presentFrame();
    man& robot = fighter(2);
    spreadOut(robot);
    robot.points[16].x = robot.points[15].x;
    robot.points[16].y = robot.points[15].y;
    robot.points[26].x = robot.points[11].x;
    robot.points[26].y = robot.points[11].y;
    robot.draw(1.0f, 1.0f);
    all = drawn();
    // The head and the second toe lie on their reference points, and the
    // links to them have no length either.
    EXPECT_EQ(all.size(), 47u);
    for (const Shape& s : all) {
        for (float v : s.xy)
            ASSERT_TRUE(std::isfinite(v));
    }
}

}  // namespace
