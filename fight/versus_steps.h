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

class VersusSteps : public SteppedGame {
  public:
    // The game's settings and media are used as they are; the series starts
    // from the generator's seed, with its first fight set up.
    // A recorder, when given, keeps each fight as it is played: for a series
    // played again on its confirmed keys, never for one a rollback runs.
    VersusSteps(gameapp& game, int seed, FightObserver* recorder = nullptr);

    void save(int slot) override;
    void load(int slot) override;
    void advance(std::uint8_t playerOne, std::uint8_t playerTwo, bool seen) override;
    std::uint64_t hash() override;
    StateParts parts() override;
    // Esc ended the series.
    bool over() const;
    // The series stops here, cut short: the fight in progress is recorded
    // up to this frame.
    void cut();
    // The frames played when Esc ended it, kNoFrame before: once both sides have
    // confirmed that many, nothing later can matter.
    int overAt() const { return overAt_; }

  private:
    // This game's generator and input, so that two series can share one
    // process (a test plays both sides).
    void enter();
    void leave();

    gameapp& game_;
    FightObserver* recorder_;
    std::array<FightSnapshot, kSnapshotSlots> kept_;
    int played_ = 0;  // frames advanced
    int overAt_ = kNoFrame;
    std::array<std::pair<int, int>, kSnapshotSlots> keptCounts_{};  // played_, overAt_
    int randomState_ = 1;
    InputCheckpoint input_;
    InputLog* ownRecording_ = nullptr;    // this series' recording, while another plays
    InputLog* outerRecording_ = nullptr;  // whatever was recording before this series stepped
};
