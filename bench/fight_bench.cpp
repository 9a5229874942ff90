// The largest fight (two players and four opponents) on the headless
// platform: one whole frame, its logic and the submission of everything it
// draws; and the contact test alone with all six fighters heaped together.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>

#include "app/gameapp.h"
#include "app/match_loop.h"
#include "runtime/embedded.h"
#include "runtime/files.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/platform/headless.h"
#include "runtime/sound.h"

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

// The headless window open and a game with start-up's media and the largest
// fight set up.
class LargestFight {
  public:
    LargestFight() {
        setPlatform(&headless);
        resetInput();
        resetDrawState();
        seedRandom(1);
        openDisplay(1024, 768, 0, 60);
        setSwapInterval(1);
        addEmbeddedResources();
        game->media.spark = loadImage("incbin::spark.png");
        game->media.blow = loadSound("incbin::blow.wav", 0);
        game->media.block = loadSound("incbin::block.wav", 0);
        game->setDefaultSettings();
        setUpLargestFight(*game);
    }
    ~LargestFight() { setPlatform(nullptr); }
    LargestFight(const LargestFight&) = delete;
    LargestFight& operator=(const LargestFight&) = delete;

    HeadlessPlatform headless;
    std::unique_ptr<gameapp> game = std::make_unique<gameapp>();
};

void BM_FightFrameSixFighters(benchmark::State& state) {
    LargestFight fight;
    gameapp& game = *fight.game;
    int frames = 0;
    for (auto _ : state) {
        playFightFrame(game);
        // A few bursts in flight, as contacts would start them.
        if (frames % 20 == 0) {
            game.bursts[1 + frames / 20 % kBurstSlots].spawn(0, 0, 0, 0, 30, frames / 20 % 2, 2.0f,
                                                             &game, 0);
        }
        if (++frames == kFramesPerFight) {
            state.PauseTiming();
            setUpLargestFight(game);
            frames = 0;
            state.ResumeTiming();
        }
        // The mixer is not running: free the voices the contacts took.
        if (frames % 64 == 0) stopAllVoices();
    }
    state.counters["primitives"] = static_cast<double>(fight.headless.lastFrame().size());
}
BENCHMARK(BM_FightFrameSixFighters)->Unit(benchmark::kMicrosecond);

// The worst case of the contact test: every fighter's points on a grid 12 px
// apart, the six grids offset by a few pixels, so most point pairs of every
// fighter pair touch (1713 pairs). The heap is rebuilt before each pass, so
// every pass meets it whole.
void BM_ResolveContactsPacked(benchmark::State& state) {
    LargestFight fight;
    gameapp& game = *fight.game;
    game.frameCount = 150;  // blows count
    std::array<std::array<float, 2 * (kPointCount + 1)>, kMaxFighters + 1> heap{};
    for (int i = 1; i <= kMaxFighters; ++i) {
        for (int p = 1; p <= kPointCount; ++p) {
            heap[i][2 * p] = static_cast<float>((p % 6) * 12 + i * 3);
            heap[i][2 * p + 1] = static_cast<float>((p / 6) * 12 + i * 2);
        }
    }
    int passes = 0;
    for (auto _ : state) {
        for (int i = 1; i <= kMaxFighters; ++i) {
            for (int p = 1; p <= kPointCount; ++p) {
                game.fighters[i].points[p].x = heap[i][2 * p];
                game.fighters[i].points[p].y = heap[i][2 * p + 1];
            }
        }
        game.resolveContacts();
        benchmark::DoNotOptimize(game.fighters[6].points[kHead].x);
        if (++passes % 64 == 0) stopAllVoices();
    }
}
BENCHMARK(BM_ResolveContactsPacked)->Unit(benchmark::kMicrosecond);

}  // namespace
