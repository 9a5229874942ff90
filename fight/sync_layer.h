// The saved states of a fight kept in step, and going back to them: online
// play and the rollback check of recorded fights (--synctest) both go through
// here, so the check exercises the same slots live play uses.
#pragma once

#include <array>
#include <cstdint>

#include "fight/stepped_game.h"

class SyncLayer {
  public:
    // Frame hashes kept: enough for every frame that can still be confirmed.
    static constexpr int kHashRing = 128;

    explicit SyncLayer(SteppedGame& game) : game_(game) {}

    // Plays frame f (numbered from 0) with both players' keys, saving the
    // state before it first so it can be played again.
    void play(int f, FrameKeys one, FrameKeys two, bool seen) {
        game_.save(snapshotSlot(f));
        game_.advance(one, two, seen);
        hashes_[hashSlot(f)] = game_.hash();
    }
    // Back to the state before frame f, which must be one of the last
    // kSnapshotSlots frames played.
    void loadBefore(int f) { game_.load(snapshotSlot(f)); }
    // The hash after frame f, for the last kHashRing frames.
    std::uint64_t hashAfter(int f) const { return hashes_[hashSlot(f)]; }
    SteppedGame& game() { return game_; }

  private:
    static int snapshotSlot(int f) { return f % kSnapshotSlots; }
    static std::size_t hashSlot(int f) { return static_cast<std::size_t>(f % kHashRing); }

    SteppedGame& game_;
    std::array<std::uint64_t, kHashRing> hashes_{};
};
