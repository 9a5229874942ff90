// Key presses, held keys, typed characters and the mouse.
#include "runtime/input.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/headless_fixture.h"

namespace {

using InputKeys = HeadlessTest;
using InputChars = HeadlessTest;
using InputMouse = HeadlessTest;
using InputClock = HeadlessTest;

void tap(int code) {
    onKeyDown(code, false);
    onKeyUp(code);
}

TEST_F(InputKeys, PressesAreCountedUntilAsked) {
    tap(KeyA);
    tap(KeyA);
    EXPECT_EQ(keyPresses(KeyA), 2);
    EXPECT_EQ(keyPresses(KeyA), 0);
    EXPECT_EQ(keyPresses(KeyD), 0);
}

TEST_F(InputKeys, ScriptedPressesArriveThroughThePoll) {
    headless.pressAt(0, KeyP);
    headless.keyDownAt(1, KeyP);
    headless.keyUpAt(1, KeyP);
    EXPECT_EQ(isKeyDown(KeyP), 1);
    EXPECT_EQ(keyPresses(KeyP), 1);
    headless.swapBuffers();
    headless.clear(0, 0, 0);
    EXPECT_EQ(keyPresses(KeyP), 1);
    EXPECT_EQ(isKeyDown(KeyP), 0);
}

TEST_F(InputKeys, AutoRepeatAndRepressesOfAHeldKeyCountOnce) {
    onKeyDown(KeySpace, false);
    for (int i = 0; i < 30; ++i)
        onKeyDown(KeySpace, true);
    onKeyDown(KeySpace, false);  // no release in between
    EXPECT_EQ(keyPresses(KeySpace), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(isKeyDown(KeySpace), 1);
    onKeyUp(KeySpace);
    EXPECT_EQ(isKeyDown(KeySpace), 0);
    EXPECT_EQ(keyPresses(KeySpace), 0);
}

TEST_F(InputKeys, CountsWrapAtAByte) {
    for (int i = 0; i < 257; ++i)
        tap(KeyW);
    EXPECT_EQ(keyPresses(KeyW), 1);
}

TEST_F(InputKeys, CodesOutsideTheTableAreIgnored) {
    onKeyDown(0, false);
    onKeyDown(256, false);
    onKeyDown(256 + KeyA, false);
    onKeyDown(-5, false);
    EXPECT_EQ(keyPresses(0), 0);
    EXPECT_EQ(keyPresses(256), 0);
    EXPECT_EQ(keyPresses(-5), 0);
    EXPECT_EQ(isKeyDown(0), 0);
    EXPECT_EQ(isKeyDown(256), 0);
    EXPECT_EQ(keyPresses(KeyA), 0);
    onKeyUp(999);
}

TEST_F(InputKeys, ModifiersAlsoCountUnderTheirSide) {
    onKeyDown(16, false, 160);
    EXPECT_EQ(keyPresses(16), 1);
    EXPECT_EQ(keyPresses(160), 1);
    onKeyDown(16, false, 161);  // right Shift while the left is held
    EXPECT_EQ(keyPresses(16), 0);
    EXPECT_EQ(keyPresses(161), 1);
    onKeyUp(16, 160);
    EXPECT_EQ(isKeyDown(16), 0);
    EXPECT_EQ(isKeyDown(160), 0);
    EXPECT_EQ(isKeyDown(161), 1);
    onKeyDown(18, true, 165);
    EXPECT_EQ(keyPresses(165), 0);
}

TEST_F(InputKeys, LosingTheFocusReleasesHeldKeys) {
    headless.keyDownAt(0, KeyLeft);
    headless.keyDownAt(0, 17, 162);
    headless.focusLostAt(1);
    EXPECT_EQ(isKeyDown(KeyLeft), 1);
    EXPECT_EQ(keyPresses(KeyLeft), 1);
    headless.swapBuffers();
    headless.clear(0, 0, 0);
    EXPECT_EQ(isKeyDown(KeyLeft), 0);
    EXPECT_EQ(isKeyDown(17), 0);
    EXPECT_EQ(isKeyDown(162), 0);
    // The key comes back down without a release ever arriving: a new press.
    onKeyDown(KeyLeft, false);
    EXPECT_EQ(keyPresses(KeyLeft), 1);
}

TEST_F(InputKeys, FlushClearsEverything) {
    onKeyDown(KeyUp, false);
    tap(KeyDown);
    onChar('x');
    flushInput();
    EXPECT_EQ(isKeyDown(KeyUp), 0);
    EXPECT_EQ(keyPresses(KeyUp), 0);
    EXPECT_EQ(keyPresses(KeyDown), 0);
    EXPECT_EQ(nextChar(), 0);
}

TEST_F(InputKeys, DrainKeysForgetsMenuKeysAndCharacters) {
    for (int code : {KeyP, KeyEnter, KeyEscape, KeySpace, KeyLeft, KeyRight, KeyUp, KeyDown}) {
        tap(code);
        tap(code);
    }
    tap(KeyA);
    onKeyDown(KeyEnter, false);
    onChar('a');
    onChar('b');
    drainKeys();
    for (int code : {KeyP, KeyEnter, KeyEscape, KeySpace, KeyLeft, KeyRight, KeyUp, KeyDown}) {
        EXPECT_EQ(keyPresses(code), 0) << code;
    }
    EXPECT_EQ(nextChar(), 0);
    EXPECT_EQ(keyPresses(KeyA), 1);
    EXPECT_EQ(isKeyDown(KeyEnter), 1);  // held keys stay held
}

TEST_F(InputChars, TheQueueHolds256AndKeepsTheOrder) {
    for (int i = 0; i < 257; ++i)
        onChar(static_cast<std::uint16_t>(1000 + i));
    EXPECT_EQ(nextChar(), 1000);
    onChar(5000);  // room again after one read
    onChar(5001);  // full again
    std::vector<int> rest;
    for (int c = nextChar(); c != 0; c = nextChar())
        rest.push_back(c);
    ASSERT_EQ(rest.size(), 256u);
    EXPECT_EQ(rest.front(), 1001);
    EXPECT_EQ(rest[254], 1255);
    EXPECT_EQ(rest.back(), 5000);
}

TEST_F(InputChars, ScriptedTypingAndSixteenBitCharacters) {
    headless.typeAt(0, 'a');
    headless.typeAt(0, 0x20AC);
    headless.typeAt(0, 8);
    EXPECT_EQ(nextChar(), 'a');
    EXPECT_EQ(nextChar(), 0x20AC);
    EXPECT_EQ(nextChar(), 8);
    EXPECT_EQ(nextChar(), 0);
}

TEST_F(InputMouse, ButtonsLiveInTheKeyTable) {
    onMouseButton(4, true);
    EXPECT_EQ(isMouseDown(3), 1);
    EXPECT_EQ(isMouseDown(4), 0);
    EXPECT_EQ(isMouseDown(1), 0);
    EXPECT_EQ(keyPresses(4), 1);
    onMouseButton(1, true);
    onMouseButton(2, true);
    EXPECT_EQ(isMouseDown(1), 1);
    EXPECT_EQ(isMouseDown(2), 1);
    onMouseButton(4, false);
    EXPECT_EQ(isMouseDown(3), 0);
    EXPECT_EQ(isMouseDown(0), 0);
}

TEST_F(InputMouse, PositionIsSixteenBitAndTheWheelCountsNotches) {
    onMouseMove(300, 200);
    EXPECT_EQ(mouseX(), 300);
    EXPECT_EQ(mouseY(), 200);
    onMouseMove(70000, -5);
    EXPECT_EQ(mouseX(), 70000 - 65536);
    EXPECT_EQ(mouseY(), -5);
    onMouseWheel(240);
    onMouseWheel(-120);
    onMouseWheel(60);  // less than a notch
    EXPECT_EQ(mouseZ(), 1);
}

TEST_F(InputClock, SleepsGoToThePlatformOnlyWhenPositive) {
    const int start = clockMillis();
    sleepMillis(0);
    sleepMillis(-20);
    EXPECT_TRUE(headless.sleeps().empty());
    sleepMillis(200);
    EXPECT_EQ(headless.sleeps(), std::vector<int>{200});
    EXPECT_EQ(clockMillis() - start, 200);
}

}  // namespace
