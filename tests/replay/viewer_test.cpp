// The recorded fight viewer: wherever it seeks, at whatever speed, the fight
// is as playing straight through left it; the keys reach it; and with nothing
// to watch, a window says so.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "replay/actions.h"
#include "replay/viewer.h"
#include "runtime/files.h"
#include "runtime/presentation.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/fight_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

class Viewer : public fighttest::FightTest {
  protected:
    // A six-fighter fight whose players change keys all along and leave at
    // frame 1000, and its hash after every frame played straight through.
    Viewer() {
        g.mode = "2coop";
        g.level = 8;
        const int one[4] = {KeyRight, KeyUp, KeyLeft, KeyDown};
        const int two[4] = {KeyA, KeyW, KeyD, KeyS};
        for (int t = 0; t < 960; t += 40) {
            const std::size_t s = static_cast<std::size_t>(t / 40 % 4);
            headless.keyDownAt(at(t), one[s]);
            headless.keyUpAt(at(t + 31), one[s]);
            headless.keyDownAt(at(t + 11), two[s]);
            headless.keyUpAt(at(t + 37), two[s]);
        }
        headless.keyDownAt(at(1000), KeyEscape);
        FightRecorder recorder("");
        g.recorder = &recorder;
        g.playFight();
        g.recorder = nullptr;
        replay = recorder.lastFight();

        const Unseen unseen;
        resetInput();
        auto start = std::make_unique<gameapp>();
        restoreFightStart(*start, replay.start);
        startInputPlayback(replay.input);
        start->setUpFight();
        straight.push_back(hashFight(*start));
        stopInputPlayback();
        resetInput();
        auto played = std::make_unique<gameapp>();
        const ReplayRun run = playRecordedFight(*played, replay, [&] {
            straight.push_back(hashFight(*played));
            return true;
        });
        EXPECT_TRUE(run.ok) << run.why;
        resetInput();
    }

    Replay replay;
    std::vector<std::uint64_t> straight;  // [f]: after f frames
};

TEST_F(Viewer, SeekingLandsOnTheHashOfPlayingStraightThroughAtEverySpeed) {
    ASSERT_GT(replay.frames, 3 * kKeptEvery);
    const struct {
        const char* what;
        int ticks;  // display frames before it
        int (*to)(int frame);
    } moves[] = {
        {"forward past frames not yet played", 7, [](int f) { return f + 2 * kSeekFrames; }},
        {"back across a kept state", 5, [](int f) { return f - kSeekFrames; }},
        {"forward over frames played", 3, [](int f) { return f + kSeekFrames; }},
        {"back to the start", 2, [](int) { return 0; }},
    };
    const Unseen unseen;
    for (std::size_t speed = 0; speed < kViewerSpeeds.size(); ++speed) {
        auto watched = std::make_unique<gameapp>();
        ReplayViewer viewer(*watched, replay);
        viewer.setSpeed(static_cast<int>(speed));
        viewer.start();
        AllocationCounter counter;
        for (const auto& move : moves) {
            for (int t = 0; t < move.ticks; ++t)
                viewer.tick();
            const int target = move.to(viewer.frame());
            viewer.seek(target);
            ASSERT_EQ(viewer.frame(), target) << move.what;
            const char* at = kViewerSpeeds[speed].text;
            EXPECT_EQ(hashFight(*watched), straight.at(static_cast<std::size_t>(target)))
                << at << ", " << move.what;
            viewer.tick();
            EXPECT_EQ(hashFight(*watched), straight.at(static_cast<std::size_t>(viewer.frame())))
                << at << ", " << move.what << ", then a display frame";
        }
        EXPECT_EQ(viewer.diverged(), "");
        // Its states were made before the fight: watching allocates nothing.
        if (AllocationCounter::available()) {
            EXPECT_EQ(counter.count(), 0);
        }
    }
}

TEST_F(Viewer, TheKeysSeekPauseStepAndChangeTheSpeed) {
    const int b = headless.framesPresented();
    const int keys[] = {KeyRight, KeyLeft, KeyUp, KeySpace, KeyPeriod, KeySpace, KeyHome};
    for (int k = 0; k < 7; ++k)
        headless.pressAt(b + 10 * (k + 1), keys[k]);
    headless.pressAt(b + 80, KeyEscape);
    auto watched = std::make_unique<gameapp>();
    std::vector<int> at;
    const ReplayRun run = viewRecordedFight(
        *watched, replay, [&](const ReplayViewer& v) { at.push_back(v.frame()); });
    EXPECT_TRUE(run.left);
    // How far each display frame went, each change once; back at the start
    // and 2 frames on is written kHome.
    constexpr int kHome = -1000;
    std::vector<int> went;
    for (std::size_t i = 1; i < at.size(); ++i) {
        const int d = at[i] == 2 && at[i - 1] > 2 ? kHome : at[i] - at[i - 1];
        if (went.empty() || went.back() != d) went.push_back(d);
    }
    EXPECT_EQ(went, (std::vector<int>{1, 301, 1, -299, 1, 2, 0, 1, 0, 2, kHome, 2}));
}

using NothingToWatch = HeadlessTest;
TEST_F(NothingToWatch, AWindowSaysSoUntilAKey) {
    TempDir data;
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string kept = previous ? previous : "";
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    const int b = headless.framesPresented();
    headless.pressAt(b + 30, KeyEnter);
    testing::internal::CaptureStderr();
    const int status = watchReplay("", false);
    const std::string said = testing::internal::GetCapturedStderr();
    allowSaving(true);
    previous ? setenv("XDG_DATA_HOME", kept.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(status, kExitUsage);
    EXPECT_EQ(said, "flailwick: no recorded fight in " + data.path() + "/flailwick/replays\n");
    // Up until the key, the lines drawn in the font's glyphs.
    EXPECT_GE(headless.framesPresented(), b + 30);
    EXPECT_LT(headless.framesPresented(), b + 40);
    EXPECT_GT(fighttest::only(fighttest::shapes(headless, headless.lastFrame()), Primitive::Texture)
                  .size(),
              40u);
}

}  // namespace
