// The headless platform's clock, scripts and record.
#include "runtime/platform/headless.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "runtime/input.h"
#include "tests/support/headless_fixture.h"

namespace {

using HeadlessClock = HeadlessTest;
using HeadlessScript = HeadlessTest;
using HeadlessRecord = HeadlessTest;
using HeadlessWindow = HeadlessTest;

TEST_F(HeadlessClock, PresentsTakeSixtiethsOfASecond) {
    std::vector<int> steps;
    int before = clockMillis();
    for (int i = 0; i < 6; ++i) {
        headless.swapBuffers();
        const int now = clockMillis();
        steps.push_back(now - before);
        before = now;
    }
    EXPECT_EQ(steps, (std::vector<int>{16, 17, 17, 16, 17, 17}));
}

TEST_F(HeadlessClock, InstantPresentsAndSleeps) {
    headless.setPresentMillis(0);
    const int start = clockMillis();
    headless.swapBuffers();
    EXPECT_EQ(clockMillis(), start);
    headless.sleepMillis(33);
    headless.advanceClock(7);
    EXPECT_EQ(clockMillis() - start, 40);
    EXPECT_EQ(headless.sleeps(), std::vector<int>{33});
}

TEST_F(HeadlessClock, TheMicrosecondClockKeepsStepWithTheMillisecondOne) {
    const std::int64_t start = headless.clockMicros();
    EXPECT_EQ(start, 1000LL * clockMillis());
    headless.swapBuffers();
    EXPECT_EQ(headless.clockMicros() - start, 16666);

    headless.sleepUntilMicros(start);  // already past: no wait
    EXPECT_TRUE(headless.sleepsUntil().empty());
    headless.sleepUntilMicros(start + 50001);
    EXPECT_EQ(headless.clockMicros(), start + 50001);
    EXPECT_EQ(clockMillis() - start / 1000, 50);
    EXPECT_EQ(headless.sleepsUntil(), std::vector<std::int64_t>{50001 - 16666});
}

TEST_F(HeadlessClock, ABusyWaitOnTheClockEnds) {
    const int start = clockMillis();
    int reads = 0;
    while (clockMillis() - start < 5)
        ++reads;
    EXPECT_GE(reads, 4000);
    EXPECT_LE(reads, 5000);
}

TEST_F(HeadlessClock, OpeningAudioTakesTheConfiguredTime) {
    headless.setAudioOpenMillis(250);
    const int start = clockMillis();
    EXPECT_TRUE(headless.openAudio([](std::int16_t*, int) {}));
    EXPECT_EQ(clockMillis() - start, 250);
}

TEST_F(HeadlessScript, EventsWaitForTheirFrameAndKeepScriptOrder) {
    headless.typeAt(1, 'a');
    headless.typeAt(0, 'b');
    headless.typeAt(1, 'c');
    headless.typeAt(3, 'd');
    EXPECT_EQ(nextChar(), 'b');
    EXPECT_EQ(nextChar(), 0);
    headless.swapBuffers();
    // Frame 1's input arrives once its drawing has begun.
    EXPECT_EQ(nextChar(), 0);
    headless.clear(0, 0, 0);
    EXPECT_EQ(nextChar(), 'a');
    EXPECT_EQ(nextChar(), 'c');
    EXPECT_EQ(nextChar(), 0);
    headless.swapBuffers();
    headless.swapBuffers();
    // Scripted late for a frame already past: delivered at the next poll,
    // before 'd', whose frame has not started drawing.
    headless.typeAt(0, 'e');
    EXPECT_EQ(nextChar(), 'e');
    EXPECT_EQ(nextChar(), 0);
    headless.clear(0, 0, 0);
    EXPECT_EQ(nextChar(), 'd');
}

TEST_F(HeadlessScript, ClosingTheWindowExitsOnce) {
    headless.closeWindowAt(1);
    pollEvents();
    headless.swapBuffers();
    pollEvents();
    headless.clear(0, 0, 0);
    try {
        pollEvents();
        FAIL() << "the close was not delivered";
    } catch (const HeadlessExit& e) {
        EXPECT_EQ(e.status, 0);
        EXPECT_EQ(e.message, "");
    }
    pollEvents();
}

TEST_F(HeadlessScript, PresentHookSeesEachFrame) {
    std::vector<int> seen;
    headless.onPresent([&](int frame) { seen.push_back(frame); });
    for (int i = 0; i < 3; ++i)
        headless.swapBuffers();
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(headless.framesPresented(), 3);
}

TEST_F(HeadlessRecord, FramesSwapWithoutReallocating) {
    Paint paint;
    const float quad[] = {0, 0, 1, 0, 1, 1, 0, 1};
    for (int i = 0; i < 2000; ++i)
        headless.drawPolygon(quad, 4, paint);
    headless.swapBuffers();
    const std::size_t capacity = headless.currentFrame().capacity();
    const std::size_t coordCapacity = headless.coords(headless.currentFrame()).capacity();
    for (int frame = 0; frame < 5; ++frame) {
        for (int i = 0; i < 2000; ++i)
            headless.drawPolygon(quad, 4, paint);
        headless.drawLine(0, 0, 5, 5, paint);
        headless.swapBuffers();
        EXPECT_EQ(headless.lastFrame().size(), 2001u);
        EXPECT_EQ(headless.currentFrame().capacity(), capacity);
        EXPECT_EQ(headless.coords(headless.currentFrame()).capacity(), coordCapacity);
    }
    const Primitive& line = headless.lastFrame().back();
    EXPECT_EQ(line.kind, Primitive::Line);
    EXPECT_EQ(line.count, 2);
    EXPECT_EQ(headless.coords(headless.lastFrame())[2 * line.first + 2], 5.0f);
}

TEST_F(HeadlessRecord, TexturesAreKeptForInspection) {
    const std::uint8_t pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const TextureId a = headless.uploadTexture(2, 1, pixels, true);
    const TextureId b = headless.uploadTexture(1, 1, pixels, false);
    EXPECT_NE(a, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(headless.texture(a).width, 2);
    EXPECT_TRUE(headless.texture(a).smooth);
    EXPECT_EQ(headless.texture(a).rgba, std::vector<std::uint8_t>(pixels, pixels + 8));
    EXPECT_EQ(headless.texture(b).rgba.size(), 4u);
    EXPECT_EQ(headless.texture(0).width, 0);
    EXPECT_EQ(headless.texture(999).width, 0);
}

TEST_F(HeadlessWindow, ModesTitlePositionAndExits) {
    headless.setDisplayModes({{1024, 768, 15, 60}, {1024, 768, 32, 60}});
    ASSERT_EQ(headless.displayModes().size(), 1u);
    EXPECT_EQ(headless.displayModes()[0].bits, 32);

    headless.setDesktop(1600, 900);
    int right = 0, bottom = 0;
    headless.desktopBounds(right, bottom);
    EXPECT_EQ(right, 1600);
    EXPECT_EQ(bottom, 900);
    headless.setWindowTitle("Flailwick");
    headless.moveWindow(288, 51);
    EXPECT_EQ(headless.windowTitle(), "Flailwick");
    EXPECT_EQ(headless.windowX(), 288);
    EXPECT_EQ(headless.windowY(), 51);

    try {
        headless.exitProcess(3);
    } catch (const HeadlessExit& e) {
        EXPECT_EQ(e.status, 3);
    }
    try {
        headless.fatal("boom");
    } catch (const HeadlessExit& e) {
        EXPECT_EQ(e.status, 1);
        EXPECT_EQ(e.message, "boom");
    }
}

TEST_F(HeadlessWindow, MixingWithoutAnOpenDeviceIsSilence) {
    std::int16_t out[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    headless.mix(out, 4);
    for (std::int16_t s : out)
        EXPECT_EQ(s, 0);
    headless.setAudioAvailable(false);
    EXPECT_FALSE(headless.openAudio([](std::int16_t*, int) {}));
}

}  // namespace
