// Start-up: first files written, the window placed, the title and quitting.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "app/gameapp.h"
#include "runtime/files.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/headless_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

const char* kDefaultPrefs = "1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n10\r\n0\r\n1\r\n1\r\n3\r\n";

std::string defaultScores() {
    std::string s;
    for (int i = 0; i < 20; ++i)
        s += "NOBODY\r\n0\r\n";
    return s;
}

bool showsTitle(const std::vector<Primitive>& frame) {
    for (const Primitive& p : frame) {
        if (p.kind == Primitive::Texture && p.w == 205 && p.h == 275) return true;
    }
    return false;
}

bool clears(const std::vector<Primitive>& frame) {
    for (const Primitive& p : frame) {
        if (p.kind == Primitive::Clear) return true;
    }
    return false;
}

bool isMenu(const std::vector<Primitive>& frame) {
    for (const Primitive& p : frame) {
        if (p.kind == Primitive::Texture && p.h == 96) return true;  // entries at scale 6
    }
    return false;
}

class StartupTest : public HeadlessTest {
  protected:
    StartupTest() { watch(headless); }

    // Records the title frames with the clock at each, and once the main menu
    // first shows, releases the keys that ended the title and plays menuKeys,
    // a press every other frame.
    void watch(HeadlessPlatform& p) {
        p.onPresent([this, &p](int frame) {
            if (showsTitle(p.lastFrame())) {
                titleFrames.push_back(frame);
                titleClock.push_back(p.clockMillis());
            }
            if (menuFrame >= 0 || !isMenu(p.lastFrame())) return;
            menuFrame = frame;
            for (int key : {KeySpace, KeyEnter, KeyEscape})
                p.keyUpAt(frame + 1, key);
            int at = frame + 2;
            for (int key : menuKeys) {
                p.pressAt(at, key);
                at += 2;
            }
        });
    }
    // Runs the whole program; its status, whether it returned or exited.
    int run() {
        try {
            return runFlailwick();
        } catch (const HeadlessExit& exit) {
            exited = true;
            message = exit.message;
            return exit.status;
        }
    }
    TempDir dir;
    std::vector<int> menuKeys = {KeyEscape};
    bool exited = false;
    std::string message;
    int menuFrame = -1;
    std::vector<int> titleFrames;
    std::vector<std::uint32_t> titleClock;
};

}  // namespace

TEST_F(StartupTest, FirstStartWritesDefaultFilesAndEscQuitsFromTheMenu) {
    headless.keyDownAt(0, KeyEscape);  // held from the start: ends the title at once...
    EXPECT_EQ(run(), 0);               // ...and only a fresh press leaves the menu
    EXPECT_TRUE(exited);
    EXPECT_EQ(titleFrames.size(), 2u);
    EXPECT_GE(menuFrame, 0);
    EXPECT_EQ(fileBytes("prefs.fwk"), kDefaultPrefs);
    EXPECT_EQ(fileBytes("scores.txt"), defaultScores());
    EXPECT_EQ(headless.windowTitle(), "Flailwick");
    EXPECT_TRUE(headless.pointerHidden());
    EXPECT_EQ(headless.swapInterval(), 1);
    EXPECT_EQ(headless.openedDepth(), 0);
}

TEST_F(StartupTest, QuitReturnsZeroAndLoadingRewritesNothing) {
    writeBytes("prefs.fwk", "1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n10\r\n0\r\n1\r\n1\r\n2\r\n");
    writeBytes("scores.txt", "ANNA\r\n500\r\n");
    headless.keyDownAt(0, KeySpace);
    menuKeys = {KeyDown, KeyDown, KeyDown, KeyDown, KeyEnter};
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(exited);
    EXPECT_EQ(fileBytes("scores.txt"), "ANNA\r\n500\r\n");
}

TEST_F(StartupTest, QuitLeavesThroughTheSameWayOutAsEsc) {
    headless.keyDownAt(0, KeySpace);
    menuKeys = {KeyUp, KeyEnter};
    try {
        playFlailwick();
        FAIL() << "the program went on after QUIT";
    } catch (const HeadlessExit& exit) {
        EXPECT_EQ(exit.status, 0);
        EXPECT_EQ(exit.message, "");
    }
}

TEST_F(StartupTest, WindowIsCentredOnTheDesktop) {
    headless.setDesktop(1921, 1081);
    headless.keyDownAt(0, KeyEscape);
    run();
    EXPECT_EQ(headless.windowX(), 1921 / 2 - 512);
    EXPECT_EQ(headless.windowY(), 1081 / 2 - 399);
}

TEST_F(StartupTest, WindowGetsTheTitlePictureAsItsIcon) {
    headless.keyDownAt(0, KeyEscape);
    run();
    const HeadlessPlatform::Icon& icon = headless.windowIcon();
    ASSERT_EQ(icon.width, 64);
    ASSERT_EQ(icon.height, 64);
    // The tall picture fills the height, centred: the outer columns stay
    // clear, and much of the rest is drawn.
    int opaque = 0;
    for (int y = 0; y < 64; ++y) {
        EXPECT_EQ(icon.rgba[(y * 64 + 0) * 4 + 3], 0) << "row " << y;
        EXPECT_EQ(icon.rgba[(y * 64 + 63) * 4 + 3], 0) << "row " << y;
        for (int x = 0; x < 64; ++x)
            opaque += icon.rgba[(y * 64 + x) * 4 + 3] == 255;
    }
    EXPECT_GT(opaque, 64 * 64 / 16) << opaque;
}

TEST_F(StartupTest, FullScreenSettingOpensDepth32WithoutPlacingTheWindow) {
    writeBytes("prefs.fwk", "1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n1\r\n10\r\n0\r\n1\r\n1\r\n3\r\n");
    headless.setDisplayModes({{1024, 768, 32, 60}});
    headless.keyDownAt(0, KeyEscape);
    run();
    EXPECT_EQ(headless.openedDepth(), 32);
    EXPECT_EQ(headless.windowTitle(), "");
}

TEST_F(StartupTest, TitleEndsAfterItsFirstFrameOnEachKey) {
    for (int key : {KeySpace, KeyEnter, KeyEscape}) {
        HeadlessPlatform fresh;
        setPlatform(&fresh);
        resetInput();
        titleFrames.clear();
        menuFrame = -1;
        watch(fresh);
        fresh.keyDownAt(0, key);
        run();
        // The picture shown before the sounds load, and one frame of the loop.
        EXPECT_EQ(titleFrames.size(), 2u) << "key " << key;
        EXPECT_GE(menuFrame, 0) << "key " << key;
    }
    setPlatform(&headless);
}

TEST_F(StartupTest, TitleStaysForMoreThanFourSeconds) {
    run();
    ASSERT_GE(titleFrames.size(), 3u);
    // The loop measures the time before presenting: its last frame is the first
    // one that saw more than 4000 ms since the picture went up.
    const std::uint32_t start = titleClock.front();
    const std::size_t n = titleClock.size();
    EXPECT_GT(titleClock[n - 2] - start, 4000u);
    EXPECT_LE(titleClock[n - 3] - start, 4000u);
}

TEST_F(StartupTest, LoadingTimeCountsTowardTheTitle) {
    headless.setAudioOpenMillis(3000);
    run();
    // About one second of frames is left after three seconds of loading.
    EXPECT_GT(titleFrames.size(), 55u);
    EXPECT_LT(titleFrames.size(), 70u);
    EXPECT_GT(titleClock.back() - titleClock.front(), 4000u);
}

TEST_F(StartupTest, TitleLoopDoesNotClearAndCaptionIsCentred) {
    headless.onPresent([this](int frame) {
        if (frame != 10) return;
        EXPECT_TRUE(showsTitle(headless.lastFrame()));
        EXPECT_FALSE(clears(headless.lastFrame()));
        EXPECT_EQ(headless.lastFrame().front().kind, Primitive::Texture);
        // The caption at scale 2: glyphs 16 x 32, centred under the picture.
        float firstX = -1;
        int glyphCount = 0;
        for (const Primitive& p : headless.lastFrame()) {
            if (p.kind != Primitive::Texture || p.h != 32) continue;
            if (firstX < 0) firstX = p.x;
            EXPECT_FLOAT_EQ(p.y, 500);
            ++glyphCount;
        }
        EXPECT_GT(glyphCount, 0);
        EXPECT_FLOAT_EQ(firstX, (1024 - 16 * glyphCount) / 2.0f);
        headless.keyDownAt(frame + 1, KeyEscape);
        headless.keyUpAt(frame + 3, KeyEscape);
        headless.pressAt(frame + 5, KeyEscape);
    });
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(exited);
}

TEST_F(StartupTest, TitleFramesAllocateNothing) {
    SKIP_UNLESS_ALLOCATIONS_ARE_COUNTED();
    std::optional<AllocationCounter> counter;
    long allocations = -1;
    headless.onPresent([&](int frame) {
        if (frame == 10) counter.emplace();
        if (frame != 40) return;
        allocations = counter->count();
        counter.reset();
        headless.keyDownAt(frame + 1, KeyEscape);
        headless.keyUpAt(frame + 3, KeyEscape);
        headless.pressAt(frame + 5, KeyEscape);
    });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(allocations, 0);
}

TEST_F(StartupTest, ModeChoiceBackedOutReturnsToTheMenuAtPlay) {
    headless.keyDownAt(0, KeyEscape);
    // PLAY, back out of the mode choice, then Up from PLAY selects QUIT.
    menuKeys = {KeyEnter, KeyEscape, KeyUp, KeyEnter};
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(exited);
}
