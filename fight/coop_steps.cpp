// One frame of an online co-op game: the levels follow one another as runGame
// plays them on one machine.
#include "fight/coop_steps.h"

#include "app/game_texts.h"
#include "app/gameapp.h"

CoopSteps::CoopSteps(gameapp& game, int seed, FightObserver* recorder)
    : SeriesSteps(game, seed, recorder) {
    game_.mode = kModeCoop;
    game_.level = 1;
    game_.totalScore = 0;
    beginFirstFight();
}

bool CoopSteps::over() const {
    return game_.matchState == kStateEnd && game_.lastFight(game_.fightOutcome());
}

void CoopSteps::betweenFights() { game_.nextLevel(game_.settleFightResult()); }
