// The arena's walls and grid as drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/fight_fixture.h"

namespace {

using fighttest::FightTest;
using fighttest::Shape;

class ArenaGrid : public FightTest {
  protected:
    ArenaGrid() { presentFrame(); }

    void arena(float left, float top, float right, float bottom) {
        g.arenaLeft = left;
        g.arenaTop = top;
        g.arenaRight = right;
        g.arenaBottom = bottom;
    }
    void camera(float x, float y, float zoom) {
        g.cameraX = x;
        g.cameraY = y;
        g.zoom = zoom;
    }
    std::vector<Shape> lines() const {
        return fighttest::only(fighttest::shapes(headless, headless.currentFrame()),
                               Primitive::Line);
    }
    // The nearest layer is the brightest: with zoom 0.5 its lines are green
    // 170 inside the arena and 146 in the wall tint.
    std::vector<Shape> nearestLayer(bool vertical) const {
        std::vector<Shape> out;
        for (const Shape& s : lines()) {
            const bool isVertical = s.xy[0] == s.xy[2];
            if (isVertical == vertical && (s.colour(0, 170, 85) || s.colour(112, 146, 129))) {
                out.push_back(s);
            }
        }
        return out;
    }
    // Where the grid lines of one direction cross the screen: the x of
    // vertical lines (or y of horizontal ones) of their arena segments.
    static std::vector<float> positions(const std::vector<Shape>& segments, bool vertical,
                                        float from) {
        std::vector<float> out;
        for (const Shape& s : segments) {
            if ((vertical ? s.xy[1] : s.xy[0]) == from) out.push_back(vertical ? s.xy[0] : s.xy[1]);
        }
        return out;
    }
};

TEST_F(ArenaGrid, TheWallsSurroundTheArenaInGrey) {
    arena(-768, -576, 768, 576);
    camera(0, 0, 0.5f);
    g.drawArena();
    const std::vector<Shape> all = fighttest::shapes(headless, headless.currentFrame());
    ASSERT_GE(all.size(), 4u);
    // Arena edges on screen: left 128, top 96, right 896, bottom 672.
    const float walls[4][8] = {
        {128, 672, 896, 672, 896, 1056, 128, 1056},  // below, only 384 high
        {896, 0, 1408, 0, 1408, 768, 896, 768},      // right, only 512 wide
        {128, 0, 896, 0, 896, 96, 128, 96},          // above
        {0, 0, 128, 0, 128, 768, 0, 768},            // left
    };
    for (int w = 0; w < 4; ++w) {
        const Shape& s = all[static_cast<std::size_t>(w)];
        ASSERT_EQ(s.kind, Primitive::Polygon);
        EXPECT_TRUE(s.colour(112, 112, 112));
        for (std::size_t i = 0; i < 8; ++i)
            EXPECT_FLOAT_EQ(s.xy[i], walls[w][i]) << w << " " << i;
    }
}

TEST_F(ArenaGrid, TheNearestLayerIsBrightGreenInsideTheArena) {
    arena(-768, -576, 768, 576);
    camera(0, 0, 0.5f);
    g.drawArena();
    // Layer 0 zooms by 1/3: lines at world x -1500, -500, 500, 1500.
    const std::vector<Shape> vertical = nearestLayer(true);
    const std::vector<float> inside = positions(vertical, true, 96.5f);
    ASSERT_EQ(inside.size(), 4u);
    EXPECT_EQ(inside, (std::vector<float>{12.5f, 345.5f, 679.5f, 1012.5f}));
    for (const Shape& s : vertical) {
        if (s.xy[1] != 96.5f) continue;
        // Beyond the arena's screen edges (128 and 896) the line takes the wall tint.
        const bool outside = s.xy[0] < 128 || s.xy[0] > 896;
        EXPECT_TRUE(outside ? s.colour(112, 146, 129) : s.colour(0, 170, 85)) << s.xy[0];
        EXPECT_FLOAT_EQ(s.xy[3], 672.5f);
    }
}

TEST_F(ArenaGrid, EachLineIsThreeSegmentsWithTheWallTintOutside) {
    arena(-768, -576, 768, 576);
    camera(0, 0, 0.5f);
    g.drawArena();
    std::vector<Shape> at345;
    for (const Shape& s : nearestLayer(true)) {
        if (s.xy[0] == 345.5f) at345.push_back(s);
    }
    ASSERT_EQ(at345.size(), 3u);
    EXPECT_TRUE(at345[0].colour(0, 170, 85));
    EXPECT_TRUE(at345[1].colour(112, 146, 129));
    EXPECT_FLOAT_EQ(at345[1].xy[1], 0.5f);
    EXPECT_FLOAT_EQ(at345[1].xy[3], 95.5f);  // up to the pixel above the arena
    EXPECT_TRUE(at345[2].colour(112, 146, 129));
    EXPECT_FLOAT_EQ(at345[2].xy[1], 672.5f);
    EXPECT_FLOAT_EQ(at345[2].xy[3], 768.5f);

    // Every segment ends with its last pixel.
    const std::vector<Shape> all = fighttest::shapes(headless, headless.currentFrame());
    const std::size_t lineCount = std::count_if(
        all.begin(), all.end(), [](const Shape& s) { return s.kind == Primitive::Line; });
    const std::size_t pointCount = std::count_if(
        all.begin(), all.end(), [](const Shape& s) { return s.kind == Primitive::Point; });
    EXPECT_EQ(lineCount, pointCount);
    EXPECT_GT(lineCount, 0u);
}

TEST_F(ArenaGrid, AnArenaTwoThousandWideHasFourCentredLines) {
    arena(-1000, -1000, 1000, 1000);
    camera(0, 0, 0.5f);
    g.drawArena();
    // n = 3: world x -1500, -500, 500 and 1500, at screen 512 + x / 3.
    EXPECT_EQ(positions(nearestLayer(true), true, 0.5f + 384 - 500),
              (std::vector<float>{12.5f, 345.5f, 679.5f, 1012.5f}));
    // Rows at world y -500 and 500 are on screen; -1500 and 1500 are not.
    EXPECT_EQ(positions(nearestLayer(false), false, 12.5f), (std::vector<float>{217.5f, 551.5f}));
}

TEST_F(ArenaGrid, LinesOnTheScreenEdgeAreNotDrawn) {
    arena(-1000, -1000, 1000, 1000);
    camera(36, 0, 0.5f);  // world x -1500 lands exactly on screen x 0
    g.drawArena();
    std::vector<float> xs;
    for (const Shape& s : nearestLayer(true))
        xs.push_back(s.xy[0]);
    EXPECT_EQ(std::count(xs.begin(), xs.end(), 0.5f), 0);
    EXPECT_EQ(std::count(xs.begin(), xs.end(), 333.5f), 3);

    presentFrame();
    camera(-36, 0, 0.5f);  // world x 1500 lands exactly on screen x 1024
    g.drawArena();
    xs.clear();
    for (const Shape& s : nearestLayer(true))
        xs.push_back(s.xy[0]);
    EXPECT_EQ(std::count(xs.begin(), xs.end(), 1024.5f), 0);
    EXPECT_EQ(std::count(xs.begin(), xs.end(), 24.5f), 3);

    presentFrame();
    camera(0, 652, 0.5f);  // world y -500 lands exactly on screen y 0
    g.drawArena();
    std::vector<float> ys;
    for (const Shape& s : nearestLayer(false))
        ys.push_back(s.xy[1]);
    EXPECT_EQ(std::count(ys.begin(), ys.end(), 0.5f), 0);
    EXPECT_EQ(std::count(ys.begin(), ys.end(), 333.5f), 3);

    presentFrame();
    camera(0, -652, 0.5f);  // world y 500 lands exactly on screen y 768
    g.drawArena();
    ys.clear();
    for (const Shape& s : nearestLayer(false))
        ys.push_back(s.xy[1]);
    EXPECT_EQ(std::count(ys.begin(), ys.end(), 768.5f), 0);
    EXPECT_EQ(std::count(ys.begin(), ys.end(), 101.5f), 3);
}

TEST_F(ArenaGrid, AnArenaOffScreenShowsOnlyTheWallTint) {
    arena(-1000, -1000, 1000, 1000);
    camera(5000, 0, 0.5f);
    g.drawArena();
    int visible = 0;
    for (const Shape& s : lines()) {
        if (s.maxX() < 0.0f) continue;  // the arena's own rows lie wholly off screen
        EXPECT_EQ(s.paint.r, 112);
        ++visible;
    }
    EXPECT_GT(visible, 0);
}

TEST_F(ArenaGrid, LeavesBlendAndOpacityAsTheyWere) {
    arena(-768, -576, 768, 576);
    camera(0, 0, 0.5f);
    setBlendMode(Translucent);
    setDrawAlpha(0.5f);
    g.drawArena();
    EXPECT_EQ(drawState().blend, Translucent);
    EXPECT_EQ(drawState().alphaByte, 127);
}

}  // namespace
