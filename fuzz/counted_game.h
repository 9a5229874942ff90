// A fight that is nothing but a running number of the keys it was played
// with: what the online harnesses fuzz is the session's own arithmetic.
#pragma once

#include <cstdint>

#include "fight/stepped_game.h"

class CountedGame : public SteppedGame {
  public:
    void save(int slot) override { kept_[static_cast<std::size_t>(slot)] = frames_; }
    void load(int slot) override { frames_ = kept_[static_cast<std::size_t>(slot)]; }
    void advance(FrameKeys one, FrameKeys two, bool) override {
        frames_ = frames_ * 31 + one + two;
    }
    std::uint64_t hash() override { return frames_; }
    StateParts parts() override { return {frames_}; }

  private:
    std::uint64_t frames_ = 0;
    std::uint64_t kept_[kSnapshotSlots] = {};
};
