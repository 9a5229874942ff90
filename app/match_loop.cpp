// The fight loop: one frame of a fight in its fixed order, the fight itself and the pause.
#include "app/match_loop.h"

#include "app/fighters_in_play.h"
#include "app/game_texts.h"
#include "app/gameapp.h"
#include "fight/observer.h"
#include "runtime/graphics.h"
#include "runtime/input.h"
#include "runtime/pads.h"

void playFightFrame(gameapp& game) {
    const int n = fightersInPlay(game);

    // Holding 7 and 9 knocks out everyone but player 1; the outcome check of
    // this same frame then ends the fight.
    if (isKeyDown(Key7) != 0 && isKeyDown(Key9) != 0) {
        for (int i = 2; i <= n; ++i)
            game.fighters[i].energy = 0.0f;
    }

    clearScreen();
    game.updateSlowMotion();
    for (int i = 1; i <= n; ++i)
        game.fighters[i].savePositions();
    game.updateCamera();
    game.drawArena();
    game.showIntro();
    game.drawMessage();

    game.controlPlayerOne();
    game.controlPlayerTwo();
    game.steerComputerFighters();

    // Each fighter is stepped and drawn before the next starts, so later
    // fighters are drawn over earlier ones.
    const float fadeIn = static_cast<float>(game.frameCount / 120.0);
    for (int i = 1; i <= n; ++i) {
        man& fighter = game.fighters[i];
        fighter.step(game.gravity, game.speedFactor, game.flexibility);
        fighter.draw(fadeIn, game.zoom);
        fighter.tickFlashes();
    }

    game.updateBursts(game.zoom);
    game.cyclePalette();
    game.resolveContacts();
    game.countFrame();
    game.checkPause();
    setDrawColor(255, 255, 255);
    game.checkOutcome();
    game.paceSlowMotion();
    presentFrame();
}

int gameapp::playFight() {
    if (recorder != nullptr) recorder->begin(*this);
    setUpFight();
    setFightKeys(true);
    do {
        playFightFrame(*this);
        if (recorder != nullptr) recorder->frameDone(*this);
    } while (matchState != kStateEnd);
    setFightKeys(false);
    const int result = fightOutcome();
    // Written once the fight is over, so no frame waits for the disk; told
    // before the result is kept, so the final hash is of the fight as its last
    // frame left it, as a playback and the versus steps see it.
    if (recorder != nullptr) recorder->finish(*this, result);
    fightResult = result;
    return fightResult;
}

void gameapp::checkPause() {
    // P is left unread in the name entry, where it is a letter of the name.
    if (matchState == kStateGameOver || matchState == kStateHighScores) return;
    if (keyPresses(KeyP) <= 0) return;
    for (;;) {
        presentFrame();
        if (keyPresses(KeyP) > 0 || keyPresses(KeyEscape) > 0) break;
    }
}
