// Plays a whole one-player game on the headless platform from a fixed seed:
// the twenty levels won with the knockout chord, then a name typed and Enter.
// Prints the frames presented, the total score and the fingerprint of the
// last fight's bodies, and leaves scores.txt in the working directory. Run it
// under /usr/bin/time -v for the time and memory a whole game takes; two runs
// must print the same and write the same file.
#include <cinttypes>
#include <cstdio>
#include <memory>

#include "app/gameapp.h"
#include "runtime/embedded.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/platform/headless.h"
#include "runtime/sound.h"
#include "tests/support/body_hash.h"

int main() {
    HeadlessPlatform headless;
    setPlatform(&headless);
    seedRandom(1);
    addEmbeddedResources();
    openDisplay(1024, 768, 0, 60);
    setSwapInterval(1);

    auto game = std::make_unique<gameapp>();
    gameapp& g = *game;
    g.media.blow = loadSound("incbin::blow.wav", 0);
    g.media.block = loadSound("incbin::block.wav", 0);
    g.media.spark = loadImage("incbin::spark.png");
    g.setDefaultSettings();
    g.fillDefaultScores();

    const int start = headless.framesPresented();
    for (int key : {Key7, Key9, KeyEnter})
        headless.keyDownAt(start, key);
    // Once the name entry shows: let go of Enter, type a name, confirm it.
    bool named = false;
    headless.onPresent([&](int frame) {
        if (named || g.matchState != "game over") return;
        named = true;
        headless.keyUpAt(frame + 1, KeyEnter);
        for (char c : {'w', 'h', 'o', 'l', 'e'})
            headless.typeAt(frame + 5, static_cast<std::uint16_t>(c));
        headless.keyDownAt(frame + 40, KeyEnter);
    });

    g.mode = "1";
    g.runGame();
    std::printf("frames %d level %d total %" PRId64 " hash %016" PRIx64 "\n",
                headless.framesPresented() - start, g.level, g.totalScore, hashPositions(g));
    return g.level == 21 && named ? 0 : 1;
}
