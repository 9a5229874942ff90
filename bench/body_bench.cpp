// The bodies' cost per frame: one body's constraint passes, and the whole
// bodies' part of a frame in the largest fight the game sets up.
#include <benchmark/benchmark.h>

#include "app/gameapp.h"
#include "body/man.h"
#include "runtime/numbers.h"
#include "runtime/platform/headless.h"
#include "tests/body/body_helpers.h"

namespace {

// The constraint passes read the keyboard, so a platform must be installed.
class HeadlessScope {
  public:
    HeadlessScope() { setPlatform(&platform_); }
    ~HeadlessScope() { setPlatform(nullptr); }
    HeadlessScope(const HeadlessScope&) = delete;
    HeadlessScope& operator=(const HeadlessScope&) = delete;

  private:
    HeadlessPlatform platform_;
};

void BM_BodyRelax(benchmark::State& state) {
    HeadlessScope scope;
    seedRandom(1);
    gameapp g;
    bodytest::setArena(g, 1.5);
    man& m = bodytest::makeFighter(g, 1, 2.0f, g.fighterCount);
    for (auto _ : state) {
        m.relax(1.0f, 5);
        benchmark::DoNotOptimize(m.points[kHead].x);
    }
}
BENCHMARK(BM_BodyRelax);

// Mode "2coop", level 8: two players and four opponents, all of scale 2.0, in
// an arena of factor 3.4.
void BM_BodySixBodyStep(benchmark::State& state) {
    HeadlessScope scope;
    seedRandom(1);
    gameapp g;
    g.mode = "2coop";
    g.gravity = 1;
    g.flexibility = 5;
    g.playersSpeed = 4;
    g.aiLevel = 8;
    g.speedFactor = 1.0f;
    g.fighterCount = 6;
    bodytest::setArena(g, 3.4);
    for (int i = 1; i <= 6; ++i)
        bodytest::makeFighter(g, i, 2.0f, 6).team = i <= 2 ? 1 : 0;
    for (auto _ : state) {
        bodytest::stepFight(g);
        benchmark::DoNotOptimize(g.fighters[6].points[kHead].x);
    }
}
BENCHMARK(BM_BodySixBodyStep)->Unit(benchmark::kMicrosecond);

}  // namespace
