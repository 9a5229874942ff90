// The camera's framing and the messages.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "tests/support/fight_fixture.h"

namespace {

using fighttest::FightTest;
using fighttest::Shape;

// Every point of the fighter at (x, y).
void placeAll(man& m, float x, float y) {
    for (int p = 1; p <= kPointCount; ++p) {
        m.points[p].x = x;
        m.points[p].y = y;
    }
}

class CameraFraming : public FightTest {
  protected:
    CameraFraming() { setUp("1", 3); }
};

TEST_F(CameraFraming, FramesTheFightersWithAMargin) {
    g.fighterCount = 2;
    placeAll(g.fighters[1], -700.0f, 300.0f);
    placeAll(g.fighters[2], 1300.0f, 200.0f);
    g.updateCamera();
    EXPECT_FLOAT_EQ(g.cameraX, 300.0f);
    EXPECT_FLOAT_EQ(g.cameraY, 250.0f);
    // min(768 / 600, 1024 / 2500): the wide spread decides.
    EXPECT_FLOAT_EQ(g.zoom, static_cast<float>(1024.0 / 2500.0));

    placeAll(g.fighters[2], -650.0f, -1300.0f);
    g.updateCamera();
    EXPECT_FLOAT_EQ(g.zoom, static_cast<float>(768.0 / 2100.0));
    EXPECT_FLOAT_EQ(g.cameraY, -500.0f);
}

TEST_F(CameraFraming, TheCentroidIsTheMeanOfAllPoints) {
    g.fighterCount = 2;
    placeAll(g.fighters[1], 0.0f, 0.0f);
    placeAll(g.fighters[2], 0.0f, 0.0f);
    g.fighters[2].points[16].x = 2600.0f;  // one point of 26 pulls the mean by 100
    g.updateCamera();
    EXPECT_FLOAT_EQ(g.cameraX, 50.0f);
    EXPECT_FLOAT_EQ(g.zoom, static_cast<float>(768.0 / 500.0));  // min(768 / 500, 1024 / 600)
}

TEST_F(CameraFraming, AFallenFighterSlidesTowardsPlayerOne) {
    ASSERT_EQ(g.fighterCount, 3);
    placeAll(g.fighters[1], -1000.0f, 0.0f);
    placeAll(g.fighters[2], 1000.0f, 100.0f);
    placeAll(g.fighters[3], -1000.0f, 0.0f);
    g.fighters[2].dead = 1;
    g.fighters[2].cameraWeight = 0.5f;
    g.updateCamera();
    EXPECT_FLOAT_EQ(g.fighters[2].cameraWeight, 0.49f);
    // Framed at 0.49 of the way from fighter 1's centroid to its own.
    EXPECT_NEAR(g.cameraX, (-1000.0 + (-1000.0 * 0.51 + 1000.0 * 0.49)) / 2.0, 1e-3);
    EXPECT_NEAR(g.cameraY, 49.0 / 2.0, 1e-3);

    for (int i = 0; i < 60; ++i)
        g.updateCamera();
    EXPECT_EQ(g.fighters[2].cameraWeight, 0.0f);
    EXPECT_FLOAT_EQ(g.cameraX, -1000.0f);
    EXPECT_FLOAT_EQ(g.zoom, static_cast<float>(768.0 / 500.0));
    // A living fighter keeps its weight.
    EXPECT_FLOAT_EQ(g.fighters[3].cameraWeight, 1.0f);
}

TEST_F(CameraFraming, FighterOneIsFramedWhateverItsWeight) {
    g.fighterCount = 2;
    placeAll(g.fighters[1], 400.0f, 0.0f);
    placeAll(g.fighters[2], 600.0f, 0.0f);
    g.fighters[1].dead = 1;
    g.fighters[1].cameraWeight = 0.0f;
    g.updateCamera();
    EXPECT_FLOAT_EQ(g.cameraX, 500.0f);
}

TEST_F(CameraFraming, PointsWithoutAPositionLeaveTheCameraAlone) {
    g.fighterCount = 2;
    g.cameraX = 12.0f;
    g.zoom = 0.25f;
    placeAll(g.fighters[1], std::numeric_limits<float>::quiet_NaN(), 0.0f);
    placeAll(g.fighters[2], 0.0f, std::numeric_limits<float>::quiet_NaN());
    g.updateCamera();
    EXPECT_FLOAT_EQ(g.cameraX, 12.0f);
    EXPECT_FLOAT_EQ(g.zoom, 0.25f);
}

class MessageLine : public FightTest {
  protected:
    std::vector<Shape> glyphs() const {
        return fighttest::only(fighttest::shapes(headless, headless.currentFrame()),
                               Primitive::Texture);
    }
    void clearRecord() { presentFrame(); }
};

TEST_F(MessageLine, IsStretchedAcrossTheScreenAndCentredVertically) {
    g.palette[1] = {0, 10, 20, 30};
    g.message = "BODY BLOW!";
    g.messageTimer = 61;
    clearRecord();
    g.drawMessage();
    EXPECT_EQ(g.messageTimer, 60);
    const std::vector<Shape> drawn = glyphs();
    ASSERT_EQ(drawn.size(), 10u);
    EXPECT_FLOAT_EQ(drawn[0].x, 10.0f);
    EXPECT_FLOAT_EQ(drawn[0].y, 281.0f);
    EXPECT_FLOAT_EQ(drawn[0].w, 102.4f);
    EXPECT_FLOAT_EQ(drawn[0].h, 204.8f);
    EXPECT_NEAR(drawn[9].x, 10.0 + 9 * 102.4, 1e-3);  // the last 10 pixels run off the edge
    for (const Shape& s : drawn) {
        EXPECT_TRUE(s.colour(10, 20, 30));
        EXPECT_EQ(s.paint.blend, Translucent);
        EXPECT_EQ(s.paint.alpha, 255);
    }
    EXPECT_EQ(drawState().scaleX, 1.0f);
    EXPECT_EQ(drawState().scaleY, 1.0f);
    EXPECT_EQ(drawState().blend, Cutout);
    EXPECT_EQ(drawState().alphaByte, 255);
}

TEST_F(MessageLine, FadesOutOverSixtyFrames) {
    g.message = "BODY BLOW!";
    g.messageTimer = 60;
    std::vector<int> alphas;
    for (int frame = 0; frame < 70; ++frame) {
        clearRecord();
        g.drawMessage();
        const std::vector<Shape> drawn = glyphs();
        if (!drawn.empty()) alphas.push_back(drawn[0].paint.alpha);
    }
    ASSERT_EQ(alphas.size(), 60u);
    for (int k = 0; k < 60; ++k)
        EXPECT_EQ(alphas[static_cast<std::size_t>(k)], (59 - k) * 255 / 60);
    EXPECT_EQ(g.messageTimer, -1);  // and it rests there
}

TEST_F(MessageLine, AnIntroMessageStaysOpaqueForTwentyFrames) {
    g.message = "LEVEL 1";
    g.messageTimer = 80;
    for (int frame = 0; frame < 20; ++frame) {
        clearRecord();
        g.drawMessage();
        ASSERT_FALSE(glyphs().empty());
        EXPECT_EQ(glyphs()[0].paint.alpha, 255) << frame;
    }
    clearRecord();
    g.drawMessage();
    EXPECT_EQ(glyphs()[0].paint.alpha, 59 * 255 / 60);
}

TEST_F(MessageLine, AnEmptyMessageIsNeverDrawn) {
    g.message = "";
    g.messageTimer = 50;
    clearRecord();
    g.drawMessage();
    EXPECT_EQ(g.messageTimer, 49);
    EXPECT_TRUE(headless.currentFrame().empty());
    EXPECT_EQ(drawState().scaleX, 1.0f);
    EXPECT_EQ(drawState().blend, Cutout);

    // A text of characters the font lacks has no width either.
    g.message = "\x01\x02";
    g.drawMessage();
    EXPECT_TRUE(headless.currentFrame().empty());
    EXPECT_TRUE(std::isfinite(drawState().scaleX));
}

TEST_F(MessageLine, ShowIntroSetsMessagesAtFramesOneAndHundred) {
    g.mode = "2coop";
    g.level = 12;
    g.frameCount = 0;
    g.showIntro();
    EXPECT_EQ(g.message, "");
    g.frameCount = 1;
    g.showIntro();
    EXPECT_EQ(g.message, "LEVEL 12");
    EXPECT_EQ(g.messageTimer, 80);

    g.messageTimer = 5;
    g.frameCount = 2;
    g.showIntro();
    EXPECT_EQ(g.messageTimer, 5);

    g.mode = "2vs";
    g.wins = {0, 3, 11};
    g.frameCount = 1;
    g.showIntro();
    EXPECT_EQ(g.message, "  3 - 11  ");

    g.frameCount = 100;
    g.showIntro();
    EXPECT_EQ(g.message, "FIGHT!");
    EXPECT_EQ(g.messageTimer, 80);
}

TEST_F(MessageLine, TheFrameCounterWrapsInsteadOfOverflowing) {
    g.frameCount = 41;
    g.countFrame();
    EXPECT_EQ(g.frameCount, 42);
    g.frameCount = INT_MAX;
    g.countFrame();
    EXPECT_EQ(g.frameCount, INT_MIN);
}

}  // namespace
