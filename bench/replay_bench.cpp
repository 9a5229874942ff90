// Recorded fights played again unseen, as --verify plays them, against the
// time they took to play: real time is 16.7 ms a frame. And one fight frame
// with and without a recording running.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/gameapp.h"
#include "app/match_loop.h"
#include "fight/hash.h"
#include "fight/snapshot.h"
#include "replay/replay.h"
#include "replay/viewer.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/platform/headless.h"
#include "runtime/presentation.h"
#include "tests/support/recorded_fights.h"

namespace {

constexpr double kRealFrameSeconds = 1.0 / 60.0;

void verify(benchmark::State& state, const Replay& replay) {
    HeadlessPlatform headless;
    setPlatform(&headless);
    const Unseen unseen;
    int frames = 0;
    for (auto _ : state) {
        resetInput();
        auto game = std::make_unique<gameapp>();
        const ReplayRun run = playRecordedFight(*game, replay);
        if (!run.ok) state.SkipWithError(run.why.c_str());
        frames += run.frames;
    }
    state.counters["frames"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["x_real_time"] =
        benchmark::Counter(frames * kRealFrameSeconds, benchmark::Counter::kIsRate);
    setPlatform(nullptr);
}

void BM_VerifySixFighterFight(benchmark::State& state) {
    static const Replay replay = recordedCoopFight();
    verify(state, replay);
}
BENCHMARK(BM_VerifySixFighterFight)->Unit(benchmark::kMillisecond);

void BM_VerifyVersusFight(benchmark::State& state) {
    static const Replay replay = recordedVersusFight();
    verify(state, replay);
}
BENCHMARK(BM_VerifyVersusFight)->Unit(benchmark::kMillisecond);

// The recorded fight played to its 600th frame, its keys still playing back.
std::unique_ptr<gameapp> fightAtFrame600(const Replay& replay) {
    resetInput();
    auto game = std::make_unique<gameapp>();
    restoreFightStart(*game, replay.start);
    startInputPlayback(replay.input);
    game->setUpFight();
    for (int f = 0; f < 600; ++f)
        playFightFrame(*game);
    return game;
}

// Going back eight frames and playing them again unseen, as online play
// does when the other side's keys were guessed wrong: each frame is hashed,
// as the session hashes every frame it plays.
void rollBack(benchmark::State& state, const Replay& replay) {
    HeadlessPlatform headless;
    setPlatform(&headless);
    const Unseen unseen;
    auto game = fightAtFrame600(replay);
    FightSnapshot kept;
    kept.save(*game);
    for (auto _ : state) {
        kept.load(*game);
        for (int f = 0; f < kMaxRollback; ++f) {
            playFightFrame(*game);
            benchmark::DoNotOptimize(hashFight(*game));
        }
    }
    stopInputPlayback();
    setPlatform(nullptr);
}

void BM_RollBackEightFramesVersus(benchmark::State& state) {
    static const Replay replay = recordedVersusFight();
    rollBack(state, replay);
}
BENCHMARK(BM_RollBackEightFramesVersus)->Unit(benchmark::kMicrosecond);

// The whole fight's hash alone, as online play takes it after every frame.
void BM_HashFightVersus(benchmark::State& state) {
    static const Replay replay = recordedVersusFight();
    HeadlessPlatform headless;
    setPlatform(&headless);
    const Unseen unseen;
    auto game = fightAtFrame600(replay);
    for (auto _ : state)
        benchmark::DoNotOptimize(hashFight(*game));
    stopInputPlayback();
    setPlatform(nullptr);
}
BENCHMARK(BM_HashFightVersus)->Unit(benchmark::kMicrosecond);

void BM_RollBackEightFramesSixFighters(benchmark::State& state) {
    static const Replay replay = recordedCoopFight();
    rollBack(state, replay);
}
BENCHMARK(BM_RollBackEightFramesSixFighters)->Unit(benchmark::kMicrosecond);

// Going back 5 seconds while watching the six-fighter fight: the nearest
// state kept before the target loaded and the frames after it played unseen.
// From frame 3000 that is 150 frames, the most a seek back plays; from 3075,
// 75. Going on again between the seeks is not timed.
void BM_ViewerSeekBackFiveSecondsSixFighters(benchmark::State& state) {
    static const Replay replay = recordedCoopFight();
    HeadlessPlatform headless;
    setPlatform(&headless);
    const Unseen unseen;
    resetInput();
    auto game = std::make_unique<gameapp>();
    ReplayViewer viewer(*game, replay);
    viewer.start();
    const int from = static_cast<int>(state.range(0));
    viewer.seek(from);
    for (auto _ : state) {
        viewer.seek(from - kSeekFrames);
        state.PauseTiming();
        viewer.seek(from);
        state.ResumeTiming();
    }
    if (!viewer.diverged().empty()) state.SkipWithError(viewer.diverged().c_str());
    // Each kept state is the game object copied whole, with the input.
    state.counters["kept_states"] = viewer.keptStates();
    state.counters["bytes_per_state"] =
        static_cast<double>(sizeof(gameapp) + sizeof(FightSnapshot));
    viewer.finish(true);
    setPlatform(nullptr);
}
BENCHMARK(BM_ViewerSeekBackFiveSecondsSixFighters)
    ->Arg(3000)
    ->Arg(3075)
    ->Unit(benchmark::kMillisecond);

// The largest fight's frames, drawn to the headless platform, with keys
// changing every few frames; range(0) is 1 with a recording running.
void BM_SixFighterFrameRecorded(benchmark::State& state) {
    HeadlessPlatform headless;
    setPlatform(&headless);
    resetInput();
    seedRandom(1);
    auto game = std::make_unique<gameapp>();
    game->setDefaultSettings();
    FightRecorder recorder("");
    const bool recording = state.range(0) == 1;
    int frame = 0;
    for (auto _ : state) {
        if (frame % 2000 == 0) {
            state.PauseTiming();
            if (recording && frame > 0) recorder.finish(*game, 3);
            game->mode = "2coop";
            game->level = 8;
            if (recording) recorder.begin(*game);
            game->setUpFight();
            state.ResumeTiming();
        }
        if (frame % 5 == 0) onKeyDown(frame % 10 == 0 ? KeyRight : KeyUp, false);
        if (frame % 5 == 3) onKeyUp(frame % 10 == 3 ? KeyRight : KeyUp);
        playFightFrame(*game);
        if (recording) recorder.frameDone(*game);
        ++frame;
    }
    if (recording) recorder.finish(*game, 3);
    setPlatform(nullptr);
}
BENCHMARK(BM_SixFighterFrameRecorded)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
