// The fixed-seed runs and the comparison of their figures with the stored ones.
#include "tests/support/determinism.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "app/gameapp.h"
#include "runtime/embedded.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/platform/headless.h"
#include "runtime/sound.h"
#include "tests/body/body_helpers.h"

namespace {

// A fresh headless display with the runtime back at its start.
void startHeadless(HeadlessPlatform& platform) {
    setPlatform(&platform);
    resetInput();
    resetDrawState();
    seedRandom(1);
    openDisplay(1024, 768, 0, 60);
    setSwapInterval(1);
}

// Points struck this frame: a blow's flash starts at 60 after the flashes tick.
int pointsStruck(const gameapp& g) {
    int struck = 0;
    for (int i = 1; i <= g.fighterCount; ++i) {
        for (int p = 1; p <= kPointCount; ++p)
            struck += g.fighters[i].points[p].hitFlash == 60 ? 1 : 0;
    }
    return struck;
}

std::array<float, 7> energies(const gameapp& g) {
    std::array<float, 7> e{};
    for (int i = 1; i <= g.fighterCount; ++i)
        e[static_cast<std::size_t>(i)] = g.fighters[i].energy;
    return e;
}

// Collects "what: run, stored as ..." lines for the figures that differ.
class Report {
  public:
    template <typename T>
    void figure(const std::string& what, const T& run, const T& stored) {
        if (run != stored) lines_ += what + ": " + text(run) + ", stored " + text(stored) + "\n";
    }
    template <typename T, std::size_t N>
    void figures(const std::string& what, const std::array<T, N>& run,
                 const std::array<T, N>& stored) {
        for (std::size_t i = 1; i < N; ++i)
            figure(what + " " + std::to_string(i), run[i], stored[i]);
    }
    void hash(std::uint64_t run, std::uint64_t stored) {
        char line[80];
        std::snprintf(line, sizeof line, "hash: %016" PRIx64 ", stored %016" PRIx64 "\n", run,
                      stored);
        if (run != stored) lines_ += line;
    }
    const std::string& lines() const { return lines_; }

  private:
    static std::string text(float f) {
        char s[32];
        std::snprintf(s, sizeof s, "%.9g", static_cast<double>(f));
        return s;
    }
    template <typename T>
    static std::string text(const T& v) {
        return std::to_string(v);
    }
    std::string lines_;
};

}  // namespace

std::string differences(const ScriptedFight& run, const ScriptedFight& stored) {
    Report r;
    r.figure("result", run.result, stored.result);
    r.figure("frames", run.frames, stored.frames);
    r.figure("fighters", run.fighters, stored.fighters);
    r.figure("points struck", run.blows, stored.blows);
    r.figures("energy of fighter", run.energies, stored.energies);
    r.hash(run.hash, stored.hash);
    return r.lines();
}

std::string differences(const WholeGame& run, const WholeGame& stored) {
    Report r;
    r.figure("named", run.named, stored.named);
    r.figure("level reached", run.level, stored.level);
    r.figure("total score", run.totalScore, stored.totalScore);
    r.figures("frames of level", run.levelFrames, stored.levelFrames);
    r.figure("frames", run.frames, stored.frames);
    r.figures("last fight's energy of fighter", run.energies, stored.energies);
    r.hash(run.hash, stored.hash);
    return r.lines();
}

std::uint64_t bodyFightHash() {
    HeadlessPlatform platform;
    startHeadless(platform);
    auto game = std::make_unique<gameapp>();
    gameapp& g = *game;
    g.gravity = 1;
    g.flexibility = 5;
    g.playersSpeed = 4;
    g.aiLevel = 6;
    bodytest::setArena(g, 1.5);
    seedRandom(12345);
    g.mode = "1";
    g.fighterCount = 2;
    bodytest::makeFighter(g, 1, 2.0f, 2);
    bodytest::makeFighter(g, 2, 2.4f, 2);
    for (int f = 0; f < 600; ++f) {
        bodytest::stepFight(g);
        presentFrame();
    }
    const std::uint64_t hash = hashPositions(g);
    setPlatform(nullptr);
    return hash;
}

ScriptedFight scriptedFight() {
    HeadlessPlatform platform;
    startHeadless(platform);
    const int base = platform.framesPresented();

    // Ten stretches of 100 frames, each holding a different pair of keys for 60.
    const int playerOne[10] = {KeyRight, KeyUp, KeyLeft, KeyDown,  KeyRight,
                               KeyUp,    KeyUp, KeyLeft, KeyRight, KeyDown};
    const int playerTwo[10] = {KeyA, KeyW, KeyD, KeyW, KeyS, KeyA, KeyD, KeyW, KeyA, KeyS};
    for (int s = 0; s < 10; ++s) {
        platform.keyDownAt(base + 100 * s, playerOne[s]);
        platform.keyUpAt(base + 100 * s + 60, playerOne[s]);
        platform.keyDownAt(base + 100 * s + 20, playerTwo[s]);
        platform.keyUpAt(base + 100 * s + 70, playerTwo[s]);
    }
    platform.keyDownAt(base + 999, KeyEscape);

    auto game = std::make_unique<gameapp>();
    game->setDefaultSettings();
    game->mode = "2coop";
    game->level = 8;
    ScriptedFight fight;
    platform.onPresent([&](int) { fight.blows += pointsStruck(*game); });
    fight.result = game->playFight();
    fight.frames = game->frameCount;
    fight.fighters = game->fighterCount;
    fight.energies = energies(*game);
    fight.hash = hashPositions(*game);
    setPlatform(nullptr);
    return fight;
}

WholeGame wholeGame() {
    HeadlessPlatform platform;
    startHeadless(platform);
    addEmbeddedResources();
    auto game = std::make_unique<gameapp>();
    gameapp& g = *game;
    g.media.blow = loadSound("incbin::blow.wav", 0);
    g.media.block = loadSound("incbin::block.wav", 0);
    g.media.spark = loadImage("incbin::spark.png");
    g.setDefaultSettings();
    g.fillDefaultScores();

    const int start = platform.framesPresented();
    for (int key : {Key7, Key9, KeyEnter})
        platform.keyDownAt(start, key);
    // Once the name entry shows: let go of Enter, type a name, confirm it.
    WholeGame result;
    platform.onPresent([&](int frame) {
        if (g.level >= 1 && g.level <= 20)
            result.levelFrames[static_cast<std::size_t>(g.level)] += 1;
        if (result.named || g.matchState != "game over") return;
        result.named = true;
        platform.keyUpAt(frame + 1, KeyEnter);
        for (char c : std::string(kWholeGameTyped))
            platform.typeAt(frame + 5, static_cast<std::uint16_t>(c));
        platform.keyDownAt(frame + 40, KeyEnter);
    });

    g.mode = "1";
    g.runGame();
    result.frames = platform.framesPresented() - start;
    result.level = g.level;
    result.totalScore = g.totalScore;
    result.energies = energies(g);
    result.hash = hashPositions(g);
    stopAllVoices();
    setPlatform(nullptr);
    return result;
}
