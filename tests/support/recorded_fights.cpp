// The scripted co-op and versus fights, played headless with a recorder.
#include "tests/support/recorded_fights.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <tuple>

#include "app/gameapp.h"
#include "fight/simulation_version.h"
#include "replay/replay.h"
#include "runtime/embedded.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/platform/headless.h"
#include "runtime/sound.h"

namespace {

constexpr int kFrames = 3600;

Replay record(const char* mode, int level) {
    HeadlessPlatform platform;
    setPlatform(&platform);
    resetInput();
    resetDrawState();
    seedRandom(7);
    openDisplay(1024, 768, 0, 60);
    setSwapInterval(1);
    addEmbeddedResources();
    auto game = std::make_unique<gameapp>();
    game->setDefaultSettings();
    game->fillDefaultScores();
    game->media.spark = loadImage("incbin::spark.png");
    game->media.blow = loadSound("incbin::blow.wav", 0);
    game->media.block = loadSound("incbin::block.wav", 0);

    // Each player holds a direction for a while, then the next one.
    const int one[6] = {KeyRight, KeyUp, KeyLeft, KeyDown, KeyRight, KeyUp};
    const int two[6] = {KeyA, KeyW, KeyD, KeyS, KeyW, KeyA};
    const int start = platform.framesPresented();
    for (int t = 0; t < kFrames - 40; t += 40) {
        const std::size_t s = static_cast<std::size_t>(t / 40 % 6);
        platform.keyDownAt(start + t, one[s]);
        platform.keyUpAt(start + t + 31, one[s]);
        platform.keyDownAt(start + t + 11, two[s]);
        platform.keyUpAt(start + t + 37, two[s]);
    }
    platform.keyDownAt(start + kFrames, KeyEscape);

    FightRecorder recorder("");
    game->recorder = &recorder;
    game->mode = mode;
    game->level = level;
    game->playFight();
    Replay replay = recorder.lastFight();
    stopAllVoices();
    setPlatform(nullptr);
    return replay;
}

}  // namespace

Replay recordedCoopFight() { return record("2coop", 8); }

Replay recordedVersusFight() { return record("2vs", 1); }

std::uint64_t recordedOutcome(const Replay& replay) {
    std::uint64_t h = 14695981039346656037ull;
    const auto add = [&h](std::uint64_t v) { h = (h ^ v) * 1099511628211ull; };
    for (int v : {replay.frames, replay.result, replay.roundState})
        add(static_cast<std::uint64_t>(v));
    for (std::uint64_t c : replay.checkpoints)
        add(c);
    add(replay.finalHash);
    return h;
}

std::string recordedFightDifferences() {
    std::string lines;
    for (const auto& [file, constant, stored, replay] :
         {std::tuple{"coop.fwr", "kRecordedCoopFight", kRecordedCoopFight, recordedCoopFight()},
          std::tuple{"versus.fwr", "kRecordedVersusFight", kRecordedVersusFight,
                     recordedVersusFight()}}) {
        const std::uint64_t now = recordedOutcome(replay);
        if (now == stored) continue;
        char line[400];
        std::snprintf(line, sizeof line,
                      "%s: its fight now plays to %016" PRIx64 ", stored %016" PRIx64
                      ": the simulation changed: make the recordings again with "
                      "flailwick_record_fights and update %s in fight/simulation_version.h\n",
                      file, now, stored, constant);
        lines += line;
    }
    return lines;
}
