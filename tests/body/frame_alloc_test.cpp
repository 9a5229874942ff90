// A fight frame must not allocate: the bodies, their accumulators and the
// texts they compare are all made before the fight starts.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/gameapp.h"
#include "runtime/input.h"
#include "tests/body/body_helpers.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/headless_fixture.h"

namespace {

class BodyFrameAlloc : public HeadlessTest {};

TEST_F(BodyFrameAlloc, FullStepOfSixBodiesAllocatesNothing) {
    SKIP_UNLESS_ALLOCATIONS_ARE_COUNTED();
    openWindow();
    gameapp g;
    g.mode = "2coop";
    g.gravity = 1;
    g.flexibility = 5;
    g.playersSpeed = 4;
    g.aiLevel = 10;
    g.fighterCount = 6;
    bodytest::setArena(g, 3.4);
    for (int i = 1; i <= 6; ++i)
        bodytest::makeFighter(g, i, 2.0f, 6);
    g.fighters[5].dead = 1;  // a dead body takes the other branches
    // Both players push, and the chord switches the constraints off for a while.
    headless.keyDownAt(0, KeyRight);
    headless.keyDownAt(0, KeyUp);
    headless.keyDownAt(0, KeyA);
    headless.keyDownAt(0, KeyS);
    headless.keyDownAt(20, Key2);
    headless.keyDownAt(20, Key5);
    headless.keyUpAt(25, Key2);
    bodytest::stepFight(g);  // the first poll may set up the platform's own queues
    presentFrame();

    long worst = 0;
    for (int frame = 1; frame < 40; ++frame) {
        long made;
        {
            AllocationCounter counter;
            bodytest::stepFight(g);
            made = counter.count();
        }
        worst = std::max(worst, made);
        presentFrame();
    }
    EXPECT_EQ(worst, 0);
}

}  // namespace
