#include "tests/support/determinism.h"

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

}  // namespace

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
    fight.result = game->playFight();
    fight.frames = game->frameCount;
    fight.fighters = game->fighterCount;
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
    result.hash = hashPositions(g);
    stopAllVoices();
    setPlatform(nullptr);
    return result;
}
