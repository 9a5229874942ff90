// The co-op game of twenty levels as the rollback session steps it: both
// players against the computer, the level summaries, the game over with its
// name entry and the high-score table, from the frame's keys alone.
#pragma once

#include "fight/versus_steps.h"

class CoopSteps : public SeriesSteps {
  public:
    // The game starts at level 1 with nothing scored, the table as the game
    // object holds it.
    CoopSteps(gameapp& game, int seed, FightObserver* recorder = nullptr);
    // Esc, or the fight after which runGame would return.
    bool over() const override;

  private:
    void betweenFights() override;
};
