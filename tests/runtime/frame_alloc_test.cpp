// A warm frame of drawing and mixing allocates nothing.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/sound.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/headless_fixture.h"

namespace {

using RuntimeFrameAllocation = HeadlessTest;

// Everything a fight frame asks of the runtime, over and over.
void runtimeFrame(HeadlessPlatform& headless, Image* spark, Sound* blow) {
    clearScreen();
    setBlendMode(Translucent);
    setDrawAlpha(0.5f);
    setDrawColor(200, 30, 30);
    setDrawScale(1.5f, 1.5f);
    drawOval(100, 100, 40, 40);
    drawRect(10, 10, 30, 20);
    const float limb[] = {0, 0, 10, 0, 12, 30, 2, 30};
    drawPolygon(limb, 8);
    drawLine(0, 0, 50, 50, 1);
    drawPoint(5, 5);
    setBlendMode(Additive);
    drawImage(spark, 300, 300);
    setBlendMode(Cutout);
    setDrawAlpha(1.0f);
    drawString("COMBO X12", 20, 20);
    setDrawScale(1, 1);

    const Voice v = prepareSound(blow);
    setVoiceVolume(v, 0.7f);
    startVoice(v);
    std::int16_t out[2 * 512];
    headless.mix(out, 512);

    keyPresses(KeyP);
    isKeyDown(KeyLeft);
    presentFrame();
}

TEST_F(RuntimeFrameAllocation, AWarmFrameAllocatesNothing) {
    SKIP_UNLESS_ALLOCATIONS_ARE_COUNTED();
    addEmbeddedResources();
    headless.setPresentMillis(0);  // the limiter's sleeps are part of the frame too
    openWindow();
    Image* spark = loadImage("incbin::spark.png");
    Sound* blow = loadSound("incbin::blow.wav", 0);
    ASSERT_NE(spark, nullptr);
    ASSERT_NE(blow, nullptr);
    headless.keyDownAt(3, KeyLeft);
    headless.keyUpAt(5, KeyLeft);
    runtimeFrame(headless, spark, blow);

    AllocationCounter counter;
    for (int i = 0; i < 60; ++i)
        runtimeFrame(headless, spark, blow);
    EXPECT_EQ(counter.count(), 0);
    EXPECT_GT(activeVoices(), 1);
    EXPECT_EQ(headless.sleepsUntil().size(), 61u);
}

}  // namespace
