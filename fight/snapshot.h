// A fight's whole state after a frame, to go back to: the game object, the
// random generator and the input, with where a playback of recorded keys
// stands. Made once and then reused, so saving and loading do not allocate.
#pragma once

#include <memory>

#include "runtime/input.h"

class gameapp;

class FightSnapshot {
  public:
    FightSnapshot();
    ~FightSnapshot();
    FightSnapshot(FightSnapshot&&) noexcept;
    FightSnapshot& operator=(FightSnapshot&&) noexcept;

    void save(const gameapp& game);
    // Into the game it was saved from: the bodies' points keep pointing at
    // that game's fighters.
    void load(gameapp& game) const;

  private:
    std::unique_ptr<gameapp> copy_;
    int randomState_ = 1;
    InputCheckpoint input_;
};
