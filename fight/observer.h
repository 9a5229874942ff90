// What follows a fight frame by frame, told by whoever plays it: the match
// loop, the versus series steps. The recorder is one; the fight does not know
// which.
#pragma once

class gameapp;

class FightObserver {
  public:
    virtual ~FightObserver() = default;
    // The fight is set up next, from the game as it stands.
    virtual void begin(const gameapp& game) = 0;
    virtual void frameDone(const gameapp& game) = 0;
    // result: 1 or 2 for the side that won, 3 when Esc ended it.
    virtual void finish(const gameapp& game, int result) = 0;
};
