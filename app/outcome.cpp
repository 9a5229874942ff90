#include "app/gameapp.h"
#include "runtime/input.h"

// Until fights can be decided, Esc is the way out of one.
void gameapp::checkOutcome() {
    if (isKeyDown(KeyEscape) != 0) {
        fightResult = 3;
        matchState = "end";
    }
}

// A game is a single fight until levels can be won and lost.
void gameapp::runGame() {
    level = 1;
    totalScore = 0;
    if (mode == "2vs") {
        wins[1] = 0;
        wins[2] = 0;
    }
    playFight();
}
