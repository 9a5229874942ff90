// One fight frame of the largest fight (two players and four opponents), its
// logic and the submission of everything it draws, on the headless platform.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/gameapp.h"
#include "app/match_loop.h"
#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/platform/headless.h"

namespace {

// Fights are restarted now and then so the bodies keep moving instead of
// settling into a heap.
constexpr int kFramesPerFight = 2000;

void setUpLargestFight(gameapp& game) {
    game.mode = "2coop";
    game.level = 8;
    game.setUpFight();
    // Both players push from the start, as in a real fight.
    onKeyDown(KeyRight, false);
    onKeyDown(KeyUp, false);
    onKeyDown(KeyA, false);
}

void BM_FightFrameSixFighters(benchmark::State& state) {
    HeadlessPlatform headless;
    setPlatform(&headless);
    resetInput();
    resetDrawState();
    seedRandom(1);
    openDisplay(1024, 768, 0, 60);
    setSwapInterval(1);
    addEmbeddedResources();
    auto game = std::make_unique<gameapp>();
    game->media.spark = loadImage("incbin::spark.png");
    game->setDefaultSettings();
    setUpLargestFight(*game);
    int frames = 0;
    for (auto _ : state) {
        playFightFrame(*game);
        // A few bursts in flight, as contacts would start them.
        if (frames % 20 == 0) {
            game->bursts[1 + frames / 20 % kBurstSlots].spawn(0, 0, 0, 0, 30, frames / 20 % 2, 2.0f,
                                                              game.get(), 0);
        }
        if (++frames == kFramesPerFight) {
            state.PauseTiming();
            setUpLargestFight(*game);
            frames = 0;
            state.ResumeTiming();
        }
    }
    state.counters["primitives"] = static_cast<double>(headless.lastFrame().size());
    setPlatform(nullptr);
}
BENCHMARK(BM_FightFrameSixFighters)->Unit(benchmark::kMicrosecond);

}  // namespace
