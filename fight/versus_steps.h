// The two-player versus series as the rollback session steps it: both
// players' keys come from the frame's keys, fights follow one another with
// their tally, and the whole state can be kept and gone back to.
#pragma once

#include <array>
#include <cstdint>

#include "fight/snapshot.h"
#include "fight/stepped_game.h"

class gameapp;
class FightObserver;

// What the two-player games share as the rollback session steps them: the
// frame's keys held, one frame at a time, fights following one another, and
// the whole state kept and gone back to.
class SeriesSteps : public SteppedGame {
  public:
    void save(int slot) override;
    void load(int slot) override;
    void advance(FrameKeys playerOne, FrameKeys playerTwo, bool seen) override;
    std::uint64_t hash() override;
    StateParts parts() override;
    // The game is over: Esc, or its own end.
    virtual bool over() const = 0;
    // Esc ended it.
    bool left() const;
    // The game stops here, cut short: the fight in progress is recorded
    // up to this frame.
    void cut();
    // The frames played when it ended, kNoFrame before: once both sides have
    // confirmed that many, nothing later can matter.
    int overAt() const { return overAt_; }

  protected:
    // The game's settings and media are used as they are; the game starts
    // from the generator's seed. A recorder, when given, keeps each fight as
    // it is played: for a game played again on its confirmed keys, never for
    // one a rollback runs.
    SeriesSteps(gameapp& game, int seed, FightObserver* recorder);
    // The first fight, once the mode is set.
    void beginFirstFight();
    // What follows a fight that ended without ending the game, before the next is set up.
    virtual void betweenFights() = 0;

    gameapp& game_;

  private:
    // This game's generator and input, so that two games can share one
    // process (a test plays both sides).
    void enter();
    void leave();

    FightObserver* recorder_;
    std::array<FightSnapshot, kSnapshotSlots> kept_;
    int played_ = 0;  // frames advanced
    int overAt_ = kNoFrame;
    std::array<std::pair<int, int>, kSnapshotSlots> keptCounts_{};  // played_, overAt_
    int randomState_ = 1;
    InputCheckpoint input_;
    InputLog* ownRecording_ = nullptr;    // this game's recording, while another plays
    InputLog* outerRecording_ = nullptr;  // whatever was recording before this game stepped
};

class VersusSteps : public SeriesSteps {
  public:
    // The series starts with its tally at nothing.
    VersusSteps(gameapp& game, int seed, FightObserver* recorder = nullptr);
    // Only Esc ends a series.
    bool over() const override;

  private:
    void betweenFights() override;
};
