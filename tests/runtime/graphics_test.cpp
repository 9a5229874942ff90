// The drawing state and the primitives it hands the platform.
#include "runtime/graphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "runtime/presentation.h"
#include "tests/support/headless_fixture.h"

namespace {

using Vertex = std::pair<float, float>;

class GraphicsTest : public HeadlessTest {
  protected:
    const std::vector<Primitive>& frame() const { return headless.currentFrame(); }

    std::vector<Vertex> vertices(const Primitive& p) const {
        const std::vector<float>& c = headless.coords(headless.currentFrame());
        std::vector<Vertex> out;
        for (int i = 0; i < p.count; ++i)
            out.emplace_back(c[2 * (p.first + i)], c[2 * (p.first + i) + 1]);
        return out;
    }

    const Primitive& only() const {
        EXPECT_EQ(frame().size(), 1u);
        return frame().back();
    }
};

void expectVertex(const Vertex& v, double x, double y) {
    EXPECT_NEAR(v.first, x, 1e-4);
    EXPECT_NEAR(v.second, y, 1e-4);
}

// --- Drawing state ---

TEST_F(GraphicsTest, OpenDisplayResetsTheDrawingState) {
    setDrawColor(10, 20, 30);
    setDrawAlpha(0.5f);
    setBlendMode(Additive);
    setDrawScale(3, 4);
    setLineWidth(5);
    setClearColor(7, 8, 9);
    openWindow();

    const DrawState& s = drawState();
    EXPECT_EQ(s.r, 255);
    EXPECT_EQ(s.g, 255);
    EXPECT_EQ(s.b, 255);
    EXPECT_EQ(s.alphaByte, 255);
    EXPECT_EQ(s.blend, Cutout);
    EXPECT_EQ(s.scaleX, 1.0f);
    EXPECT_EQ(s.scaleY, 1.0f);
    EXPECT_EQ(s.lineWidth, 1.0f);
    EXPECT_EQ(s.clearR + s.clearG + s.clearB, 0);

    drawLine(0, 0, 10, 0, 0);
    const Primitive& line = only();
    EXPECT_EQ(line.paint.r, 255);
    EXPECT_EQ(line.paint.alpha, 255);
    EXPECT_EQ(line.paint.blend, Cutout);
    EXPECT_EQ(line.lineWidth, 1.0f);
    expectVertex(vertices(line)[1], 10.5, 0.5);
}

TEST_F(GraphicsTest, AlphaIsClampedAndTruncatedToAByte) {
    const std::pair<float, int> cases[] = {{1.7f, 255}, {-0.2f, 0},    {0.3f, 76}, {1.0f, 255},
                                           {0.5f, 127}, {0.999f, 254}, {0.0f, 0}};
    for (const auto& [alpha, byte] : cases) {
        setDrawAlpha(alpha);
        EXPECT_EQ(drawState().alphaByte, byte) << alpha;
    }
    setDrawAlpha(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(drawState().alphaByte, 0);
}

TEST_F(GraphicsTest, PrimitivesCarryColourAlphaAndBlendMode) {
    openWindow();
    setDrawColor(300, -5, 128);  // out-of-range channels are held at the ends
    setDrawAlpha(0.3f);
    setBlendMode(Translucent);
    drawPoint(0, 0);
    setBlendMode(9);  // unknown modes act as Opaque
    drawPoint(0, 0);
    setBlendMode(0);
    drawPoint(0, 0);
    setBlendMode(Multiply);
    drawRect(0, 0, 1, 1);

    ASSERT_EQ(frame().size(), 4u);
    EXPECT_EQ(frame()[0].paint.r, 255);
    EXPECT_EQ(frame()[0].paint.g, 0);
    EXPECT_EQ(frame()[0].paint.b, 128);
    EXPECT_EQ(frame()[0].paint.alpha, 76);
    EXPECT_EQ(frame()[0].paint.blend, Translucent);
    EXPECT_EQ(frame()[1].paint.blend, Opaque);
    EXPECT_EQ(frame()[2].paint.blend, Opaque);
    EXPECT_EQ(frame()[3].paint.blend, Multiply);
    EXPECT_EQ(drawState().blend, Multiply);
}

TEST_F(GraphicsTest, ClearScreenUsesTheClearColour) {
    openWindow();
    setClearColor(1, 2, 3);
    setDrawColor(9, 9, 9);
    clearScreen();
    const Primitive& p = only();
    EXPECT_EQ(p.kind, Primitive::Clear);
    EXPECT_EQ(p.paint.r, 1);
    EXPECT_EQ(p.paint.g, 2);
    EXPECT_EQ(p.paint.b, 3);
}

// --- Primitives and the scale about their anchors ---

TEST_F(GraphicsTest, PointsSitOnPixelCentresAndIgnoreTheScale) {
    openWindow();
    setDrawScale(4, 4);
    drawPoint(10, 20);
    EXPECT_EQ(only().kind, Primitive::Point);
    expectVertex(vertices(only())[0], 10.5, 20.5);
}

TEST_F(GraphicsTest, LinesScaleAboutTheirStartAndDrawTheLastPixel) {
    openWindow();
    setDrawScale(2, 3);
    setLineWidth(2.5f);
    drawLine(10, 20, 15, 22, 1);
    ASSERT_EQ(frame().size(), 2u);
    EXPECT_EQ(frame()[0].kind, Primitive::Line);
    EXPECT_EQ(frame()[0].lineWidth, 2.5f);
    const std::vector<Vertex> line = vertices(frame()[0]);
    expectVertex(line[0], 10.5, 20.5);
    expectVertex(line[1], 20.5, 26.5);
    EXPECT_EQ(frame()[1].kind, Primitive::Point);
    expectVertex(vertices(frame()[1])[0], 20.5, 26.5);

    drawLine(0, 0, 1, 1, 0);
    EXPECT_EQ(frame().size(), 3u);
}

TEST_F(GraphicsTest, RectanglesScaleAboutTheirTopLeftCorner) {
    openWindow();
    setDrawScale(2, 0.5f);
    drawRect(100, 50, 10, 40);
    const Primitive& p = only();
    EXPECT_EQ(p.kind, Primitive::Polygon);
    const std::vector<Vertex> v = vertices(p);
    ASSERT_EQ(v.size(), 4u);
    expectVertex(v[0], 100, 50);
    expectVertex(v[1], 120, 50);
    expectVertex(v[2], 120, 70);
    expectVertex(v[3], 100, 70);
}

TEST_F(GraphicsTest, PolygonsScaleAboutTheOriginAndNeedThreeWholePoints) {
    openWindow();
    setDrawScale(2, 3);
    const float triangle[] = {1, 2, 3, 4, 5, 0};
    drawPolygon(triangle, 6);
    const std::vector<Vertex> v = vertices(only());
    ASSERT_EQ(v.size(), 3u);
    expectVertex(v[0], 2, 6);
    expectVertex(v[1], 6, 12);
    expectVertex(v[2], 10, 0);

    drawPolygon(triangle, 4);
    drawPolygon(std::vector<float>{1, 2, 3, 4, 5, 6, 7});
    drawPolygon(std::vector<float>{});
    drawPolygon(nullptr, 6);
    EXPECT_EQ(frame().size(), 1u);

    setDrawScale(1, 1);
    std::vector<float> big;
    for (int i = 0; i < 600; ++i)
        big.push_back(static_cast<float>(i));
    drawPolygon(big);
    ASSERT_EQ(frame().size(), 2u);
    EXPECT_EQ(frame()[1].count, 300);
    expectVertex(vertices(frame()[1])[299], 598, 599);
}

TEST_F(GraphicsTest, OvalSegmentCounts) {
    EXPECT_EQ(ovalSegments(8, 8), 12);
    EXPECT_EQ(ovalSegments(100, 60), 80);
    EXPECT_EQ(ovalSegments(-100, 60), 80);
    EXPECT_EQ(ovalSegments(50, 52), 48);  // 51 rounds down to a multiple of 4
    EXPECT_EQ(ovalSegments(30, 0), 12);
    EXPECT_EQ(ovalSegments(std::numeric_limits<float>::quiet_NaN(), 1), 12);
    // Absurd sizes must not ask for billions of vertices.
    EXPECT_EQ(ovalSegments(1e30f, 1e30f), 4096);
}

TEST_F(GraphicsTest, SmallOvalVertices) {
    openWindow();
    drawOval(10, 20, 8, 8);
    const std::vector<Vertex> v = vertices(only());
    ASSERT_EQ(v.size(), 12u);
    expectVertex(v[0], 18, 24);                           // 0 degrees: the right edge
    expectVertex(v[1], 14 + 4 * std::sqrt(3.0) / 2, 22);  // 30 degrees, counter-clockwise on screen
    expectVertex(v[3], 14, 20);                           // 90 degrees: the top
    expectVertex(v[6], 10, 24);
    expectVertex(v[9], 14, 28);
}

TEST_F(GraphicsTest, LargeOvalVerticesAndScale) {
    openWindow();
    drawOval(0, 0, 100, 60);
    std::vector<Vertex> v = vertices(only());
    ASSERT_EQ(v.size(), 80u);
    expectVertex(v[0], 100, 30);
    expectVertex(v[10], 50 + 50 * std::sqrt(0.5), 30 - 30 * std::sqrt(0.5));
    expectVertex(v[20], 50, 0);
    expectVertex(v[40], 0, 30);
    expectVertex(v[60], 50, 60);

    setDrawScale(2, 0.5f);
    drawOval(10, 20, 8, 8);
    ASSERT_EQ(frame().size(), 2u);
    EXPECT_EQ(frame()[1].count, 12);  // the count comes from the unscaled size
    const std::vector<float>& c = headless.coords(frame());
    EXPECT_NEAR(c[2 * frame()[1].first], 10 + 16, 1e-4);
    EXPECT_NEAR(c[2 * frame()[1].first + 1], 20 + 2, 1e-4);
}

TEST_F(GraphicsTest, OvalsOfUnboundedSizeDrawNothing) {
    openWindow();
    drawOval(0, 0, std::numeric_limits<float>::infinity(), 10);
    drawOval(0, 0, 10, std::numeric_limits<float>::quiet_NaN());
    EXPECT_TRUE(frame().empty());
}

TEST_F(GraphicsTest, PresentingMovesTheFrameToTheRecord) {
    openWindow();
    drawPoint(1, 1);
    drawPoint(2, 2);
    const int before = headless.framesPresented();
    presentFrame();
    EXPECT_EQ(headless.framesPresented(), before + 1);
    EXPECT_TRUE(headless.currentFrame().empty());
    ASSERT_EQ(headless.lastFrame().size(), 2u);
    EXPECT_EQ(headless.coords(headless.lastFrame())[2], 2.5f);
}

TEST_F(GraphicsTest, PointerAndSwapIntervalReachThePlatform) {
    openWindow();
    EXPECT_FALSE(headless.pointerHidden());
    hidePointer();
    hidePointer();
    EXPECT_TRUE(headless.pointerHidden());
    setSwapInterval(0);
    EXPECT_EQ(headless.swapInterval(), 0);
}

// --- Opening the display ---

TEST_F(GraphicsTest, OpeningPresentsTwoBlackFramesFirst) {
    std::vector<std::vector<Primitive::Kind>> presented;
    headless.onPresent([&](int) {
        std::vector<Primitive::Kind> kinds;
        for (const Primitive& p : headless.lastFrame())
            kinds.push_back(p.kind);
        presented.push_back(kinds);
    });
    openWindow();
    ASSERT_GE(presented.size(), 2u);
    EXPECT_EQ(presented[0], std::vector<Primitive::Kind>{Primitive::Clear});
    EXPECT_EQ(presented[1], std::vector<Primitive::Kind>{Primitive::Clear});
    EXPECT_EQ(headless.lastFrame().size(), 0u);
    EXPECT_TRUE(headless.windowOpen());
    EXPECT_EQ(headless.openedDepth(), 0);
}

TEST_F(GraphicsTest, FullScreenWithoutTheModeKeepsTheDesktopsAndScales) {
    headless.setDisplayModes({{800, 600, 32, 60}, {1024, 768, 15, 60}});
    openDisplay(1024, 768, 32, 60);
    EXPECT_TRUE(headless.desktopFullScreen());

    // Only a display that cannot go full screen at all stops the game.
    HeadlessPlatform none;
    setPlatform(&none);
    none.setDisplayModes({{800, 600, 32, 60}});
    none.setFullScreenFails(true);
    try {
        openDisplay(1024, 768, 32, 60);
        FAIL() << "opened without a full-screen display";
    } catch (const HeadlessExit& e) {
        EXPECT_EQ(e.status, 1);
        EXPECT_EQ(e.message, "Graphics mode does not exist");
    }
    EXPECT_FALSE(none.windowOpen());
    setPlatform(&headless);
}

TEST_F(GraphicsTest, FullScreenIgnoresDepthAndRateOfTheListedMode) {
    headless.setDisplayModes({{1024, 768, 24, 75}});
    openDisplay(1024, 768, 32, 60);
    EXPECT_TRUE(headless.windowOpen());
    EXPECT_EQ(headless.openedDepth(), 32);
    EXPECT_FALSE(headless.desktopFullScreen());
}

TEST_F(GraphicsTest, AWindowDoesNotConsultTheModeList) {
    headless.setDisplayModes({});
    openWindow();
    EXPECT_TRUE(headless.windowOpen());
}

TEST_F(GraphicsTest, NoContextStopsTheProgram) {
    headless.setContextFails(true);
    try {
        openWindow();
        FAIL() << "opened without a context";
    } catch (const HeadlessExit& e) {
        EXPECT_EQ(e.status, 1);
        EXPECT_EQ(e.message, "Unable to set graphics mode");
    }
}

// --- Frame pacing ---

TEST_F(GraphicsTest, ADisplayPacingItselfAt60HzIsTrusted) {
    openDisplay(1024, 768, 0, 60);
    EXPECT_FALSE(frameLimiter().active);
    EXPECT_EQ(headless.swapInterval(), 1);
    // Two black frames, then three frames in step end the detection.
    EXPECT_EQ(headless.framesPresented(), 5);
    presentFrame();
    EXPECT_TRUE(headless.sleepsUntil().empty());
}

TEST_F(GraphicsTest, InstantPresentsSwitchTheLimiterOn) {
    headless.setPresentMillis(0);
    openDisplay(1024, 768, 0, 60);
    EXPECT_TRUE(frameLimiter().active);
    EXPECT_EQ(frameLimiter().startTime, headless.clockMicros());
    EXPECT_EQ(frameLimiter().accumulator, 0);
    EXPECT_EQ(headless.swapInterval(), 0);
    EXPECT_EQ(headless.framesPresented(), 2 + 60);
    setSwapInterval(1);  // as start-up does
    EXPECT_EQ(headless.swapInterval(), 1);
}

TEST_F(GraphicsTest, A30HzDisplayIsNotTrusted) {
    headless.setPresentMillis(1000.0 / 30.0);
    openDisplay(1024, 768, 0, 60);
    EXPECT_TRUE(frameLimiter().active);
}

TEST_F(GraphicsTest, RateZeroSkipsTheDetection) {
    headless.setPresentMillis(0);
    openDisplay(1024, 768, 0, 0);
    EXPECT_FALSE(frameLimiter().active);
    EXPECT_EQ(headless.framesPresented(), 2);
}

TEST_F(GraphicsTest, TheLimiterSleepsOutEachFrame) {
    headless.setPresentMillis(0);
    openWindow();
    const int start = clockMillis();
    for (int i = 0; i < 6; ++i)
        presentFrame();
    using Waits = std::vector<std::int64_t>;
    EXPECT_EQ(headless.sleepsUntil(), (Waits{16666, 16667, 16667, 16666, 16667, 16667}));
    EXPECT_EQ(clockMillis() - start, 100);

    // Work done in the frame shortens the sleep.
    for (int i = 0; i < 3; ++i) {
        headless.advanceClock(10);
        presentFrame();
    }
    const Waits& waits = headless.sleepsUntil();
    EXPECT_EQ(Waits(waits.begin() + 6, waits.end()), (Waits{6666, 6667, 6667}));

    // Nothing waits but the pacing: the limiter still holds the rate.
    const Presentation shown = presentation();
    setPresentation(Presentation{true, false, false, true});
    presentFrame();
    setPresentation(Presentation{true, false, false});
    presentFrame();
    setPresentation(shown);
    EXPECT_EQ(headless.sleepsUntil().size(), 10u);
}

TEST_F(GraphicsTest, TheLimiterRestartsAfterRunningASecondLate) {
    headless.setPresentMillis(0);
    openWindow();
    presentFrame();
    headless.advanceClock(1500);
    presentFrame();
    EXPECT_EQ(headless.sleepsUntil().size(), 1u);
    const std::int64_t elapsed = headless.clockMicros() - frameLimiter().startTime;
    EXPECT_EQ(frameLimiter().accumulator, elapsed * 60);
    presentFrame();
    ASSERT_EQ(headless.sleepsUntil().size(), 2u);
    EXPECT_EQ(headless.sleepsUntil()[1], 16666);  // a fresh schedule from now
}

TEST(GraphicsLimiter, WaitsFollowTheSchedule) {
    FrameLimiter l;
    l.active = true;
    l.startTime = 5000000000;  // past 32 bits, as a machine up for two hours gives
    std::int64_t now = l.startTime;
    std::vector<std::int64_t> waits;
    for (int i = 0; i < 4; ++i) {
        const std::int64_t wait = limiterWait(l, now);
        waits.push_back(wait);
        now += wait;
    }
    EXPECT_EQ(waits, (std::vector<std::int64_t>{16666, 16667, 16667, 16666}));
}

TEST(GraphicsLimiter, NoWaitLeftRestartsTheSchedule) {
    FrameLimiter l;
    l.active = true;
    EXPECT_EQ(limiterWait(l, 16666), 0);  // exactly on time: nothing to wait
    EXPECT_EQ(l.accumulator, 16666 * 60);
    EXPECT_EQ(limiterWait(l, 16666), 16666);
    EXPECT_EQ(limiterWait(l, 5000000), 0);
    EXPECT_EQ(l.accumulator, 5000000LL * 60);
}

TEST(GraphicsLimiter, HoursOfFramesKeepTheRate) {
    FrameLimiter l;
    l.active = true;
    l.startTime = 123;
    std::int64_t now = 123;
    const std::int64_t frames = 60 * 60 * 60 * 11;  // eleven hours at 60 Hz
    for (std::int64_t i = 0; i < frames; ++i)
        now += limiterWait(l, now);
    EXPECT_EQ(now - 123, frames * 1000000 / 60);
}

}  // namespace
