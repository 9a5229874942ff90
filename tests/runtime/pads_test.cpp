// Game pads as the players' keys, and players kept across reconnection.
#include "runtime/pads.h"

#include <gtest/gtest.h>

#include "runtime/input.h"
#include "tests/support/headless_fixture.h"

namespace {

using Pads = HeadlessTest;

TEST_F(Pads, ButtonsAndSticksArriveAsThePlayersKeys) {
    headless.padAddedAt(0, 7, "pad model A");
    headless.padAddedAt(0, 9, "pad model A");
    headless.padButtonAt(0, 7, PadRight, true);
    headless.padStickAt(0, 9, -kStickDeadZone, 0);
    EXPECT_EQ(isKeyDown(KeyRight), 1);  // player 1: the arrows
    EXPECT_EQ(keyPresses(KeyRight), 1);
    EXPECT_EQ(isKeyDown(KeyA), 0);  // a stick resting within the dead zone
    onPadStick(9, -kStickDeadZone - 1, 20000);
    EXPECT_EQ(isKeyDown(KeyA), 1);  // player 2: W A S D
    EXPECT_EQ(isKeyDown(KeyS), 1);
    EXPECT_EQ(isKeyDown(KeyLeft), 0);

    // The keyboard and the pad hold the same key: it stays held until both let go.
    onKeyDown(KeyRight, false);
    onPadButton(7, PadRight, false);
    EXPECT_EQ(isKeyDown(KeyRight), 1);
    EXPECT_EQ(keyPresses(KeyRight), 0);
    onKeyUp(KeyRight);
    EXPECT_EQ(isKeyDown(KeyRight), 0);

    // A confirms, B backs out; Start confirms in the menus and pauses in a fight.
    onPadButton(9, PadA, true);
    onPadButton(9, PadB, true);
    onPadButton(9, PadStart, true);
    EXPECT_EQ(keyPresses(KeyEnter), 1);
    EXPECT_EQ(keyPresses(KeyEscape), 1);
    EXPECT_EQ(keyPresses(KeyP), 0);
    onPadButton(9, PadStart, false);
    setFightKeys(true);
    onPadButton(9, PadStart, true);
    EXPECT_EQ(keyPresses(KeyP), 1);
    EXPECT_EQ(isKeyDown(KeyEnter), 1);  // A is still down
}

TEST_F(Pads, PlayersFollowTheOrderOfConnectionAndComeBack) {
    onPadAdded(1, "left pad");
    onPadAdded(2, "right pad");
    onPadAdded(3, "spare pad");
    EXPECT_EQ(padPlayer(1), 1);
    EXPECT_EQ(padPlayer(2), 2);
    EXPECT_EQ(padPlayer(3), 0);
    onPadButton(3, PadA, true);
    EXPECT_EQ(isKeyDown(KeyEnter), 0);  // a third pad drives nobody

    // Unplugged while pushing: the key is let go; plugged back: player 1 again.
    onPadButton(1, PadUp, true);
    onPadRemoved(1);
    EXPECT_EQ(isKeyDown(KeyUp), 0);
    onPadAdded(11, "left pad");
    EXPECT_EQ(padPlayer(11), 1);

    // A new pad takes a free player's place.
    onPadRemoved(2);
    onPadAdded(12, "another pad");
    EXPECT_EQ(padPlayer(12), 2);
}

}  // namespace
