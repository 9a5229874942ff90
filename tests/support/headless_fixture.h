// A test with the headless platform installed and the runtime's global state
// (input, drawing state, voices, random generator) back at its start.
#pragma once

#include <gtest/gtest.h>

#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/platform/headless.h"
#include "runtime/sound.h"

class HeadlessTest : public ::testing::Test {
  protected:
    HeadlessTest() {
        setPlatform(&headless);
        resetInput();
        resetDrawState();
        stopAllVoices();
        seedRandom(1);
    }
    ~HeadlessTest() override { setPlatform(nullptr); }

    // Opens the 1024 x 768 window as the game does; the headless clock keeps
    // 60 Hz, so the vertical-sync detection trusts it and the limiter stays off.
    void openWindow() {
        openDisplay(1024, 768, 0, 60);
        setSwapInterval(1);
    }

    HeadlessPlatform headless;
};
