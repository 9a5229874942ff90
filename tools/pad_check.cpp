// Drives the real game in a real window with SDL's virtual game pad: A picks
// PLAY and then "1 PLAYER", and in the fight the d-pad pushes player 1 left.
// The same fight is played again from the same seed without the pad; the
// fighter must end well to the left of where it ends then.
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "app/match_loop.h"
#include "runtime/embedded.h"
#include "runtime/graphics.h"
#include "runtime/numbers.h"
#include "runtime/pads.h"
#include "runtime/platform/sdl_platform.h"
#include "runtime/program.h"
#include "tools/forwarding_platform.h"

namespace {

// Pad buttons pressed and let go at frames to come, while a screen runs its loop.
class PadDriver : public ForwardingPlatform {
  public:
    using ForwardingPlatform::ForwardingPlatform;

    void swapBuffers() override {
        real_.swapBuffers();
        ++frames_;
        const auto due = actions_.find(frames_);
        if (due != actions_.end()) due->second();
    }
    // Presses the button `after` frames from now and lets it go two frames later.
    void press(int button, int after) {
        actions_[frames_ + after] = [button] { setVirtualPadButton(button, true); };
        actions_[frames_ + after + 2] = [button] { setVirtualPadButton(button, false); };
    }

  private:
    int frames_ = 0;
    std::map<int, std::function<void()>> actions_;
};

double centreX(const man& fighter) {
    double sum = 0.0;
    for (int i = 1; i <= kPointCount; ++i)
        sum += fighter.points[i].x;
    return sum / kPointCount;
}

// Where player 1 stands after 130 frames of a level 1 fight, the pad's
// d-pad held left from frame 30 when `push` is set.
double fightAndTell(gameapp& game, bool push) {
    game.setDefaultSettings();
    game.mode = kModeOnePlayer;
    game.level = 1;
    seedRandom(7);
    game.setUpFight();
    for (int f = 0; f < 130; ++f) {
        if (f == 30 && push) setVirtualPadButton(PadLeft, true);
        playFightFrame(game);
    }
    setVirtualPadButton(PadLeft, false);
    return centreX(game.fighters[1]);
}

int fail(const char* what) {
    std::fprintf(stderr, "pad_check: %s\n", what);
    return 1;
}

int check(PadDriver& driver) {
    seedRandom(1);
    addEmbeddedResources();
    openDisplay(1024, 768, 0, 60);
    setSwapInterval(1);
    if (!attachVirtualPad()) return fail("no virtual pad");
    auto game = std::make_unique<gameapp>();
    game->setDefaultSettings();

    driver.press(PadA, 10);
    if (game->mainMenu() != MenuPlay) return fail("A did not choose PLAY");
    driver.press(PadA, 10);
    game->chooseMode();
    if (game->mode != kModeOnePlayer) return fail("A did not choose 1 PLAYER");

    const double pushed = fightAndTell(*game, true);
    const double alone = fightAndTell(*std::make_unique<gameapp>(), false);
    std::printf("player 1 ended %.0f px further left with the d-pad held\n", alone - pushed);
    return alone - pushed > 200.0 ? 0 : fail("player 1 did not follow the pad");
}

}  // namespace

int main() {
    static PadDriver driver(sdlPlatform());
    setPlatform(&driver);
    endProgram(check(driver));
}
