// Keeping one fight in step on two machines: each side plays its own keys at
// once (after an input delay), guesses the other side's as the last it saw,
// and when the real ones arrive and differ, goes back to the first frame it
// guessed wrong and plays forward again unseen. The session coordinates the
// key queues, the sync layer's saved states, the time sync that keeps the two
// sides in pace and the comparison of confirmed hashes.
#pragma once

#include <array>
#include <cstdint>

#include "fight/stepped_game.h"
#include "fight/sync_layer.h"
#include "netplay/keys_message.h"

constexpr int kMaxInputDelay = 8;  // frames
constexpr int kHashFrames = 60;    // confirmed frames between two compared hashes
// Keys messages that carry the newest confirmed hash: one in this many.
constexpr int kHashEvery = 4;
// Stretches whose hashes are kept to compare: the other side's may come late.
constexpr int kKeptStretches = 8;

// One player's keys by frame, as far as this side knows them.
class InputQueue {
  public:
    // Frames kept: those that may be guessed and those not yet acknowledged.
    static constexpr int kRing = SyncLayer::kHashRing;

    // Keys of frame f arrived; ignored when f is known already or too far
    // ahead to keep.
    void put(int f, FrameKeys keys);
    // The next frame, when its keys have come: every frame up to it is known.
    bool takeNext(int& f);
    // Frames known without a gap, up to this one; kNoFrame before the first.
    int knownUpTo() const { return known_; }
    // Frame f's keys when they have come; the guess otherwise: what was held
    // last, with nothing typed.
    FrameKeys keysOrGuess(int f) const;
    // Frame f's keys, once known; the last kRing frames are kept.
    FrameKeys at(int f) const { return keys_[slot(f)]; }

  private:
    static std::size_t slot(int f) { return static_cast<std::size_t>(f % kRing); }
    std::array<FrameKeys, kRing> keys_{};
    std::array<bool, kRing> arrived_{};
    int known_ = kNoFrame;
};

// How far this side runs ahead of the other in time, averaged over half a
// second so that one late message alone costs no frame.
class TimeSync {
  public:
    static constexpr int kTicks = 30;
    // Leads beyond this are the same to the pacing; clamped, the sum of any
    // values from the wire stays far from overflow.
    static constexpr int kMaxLead = 600;
    // ownFrame - peerFrame as this side sees it, less the other side's own view.
    int average(int lead);
    // The newest lead, for the player's eyes: above 0 ahead, below behind.
    int last() const { return last_; }

  private:
    std::array<int, kTicks> leads_{};
    int sum_ = 0;
    int next_ = 0;
    int last_ = 0;
};

class RollbackSession {
  public:
    // side: 1 for player 1 (the host), 2 for player 2.
    RollbackSession(int side, int inputDelay, SteppedGame& game);

    // This frame's keys of the local player; they act inputDelay frames later.
    void setLocalKeys(FrameKeys keys) { sampled_ = keys; }
    void receive(const KeysMessage& m);
    KeysMessage outgoing() const;

    // One display frame: the correction of wrong guesses, if any, then the
    // next frame unless too many are guessed already or this side runs ahead.
    // False when no new frame was played.
    bool tick();
    // The newest frame played once more, seen: a side that waits shows the
    // fight where it stands instead of a blank.
    void showLastFrame();

    int side() const { return side_; }
    int inputDelay() const { return delay_; }
    int frame() const { return frame_; }          // frames played
    int confirmed() const;                        // frames played on both sides' real keys
    int desyncFrame() const { return desync_; }   // kNoFrame while the hashes agree
    int rollbacks() const { return rollbacks_; }  // corrections made
    int deepestRollback() const { return deepest_; }
    // Frames played again in the last 60 display frames.
    int rolledBackLately() const;
    int waits() const { return waits_; }  // display frames without a new frame
    int lead() const { return timeSync_.last(); }
    int localKeysUpTo() const { return local_.knownUpTo(); }
    // The keys a side played frame f with: final once f is confirmed, and
    // kept for the last InputQueue::kRing frames.
    FrameKeys keysOf(int side, int f) const { return queue(side).at(f); }
    // The state's parts after a frame that ends a stretch of 60, for the last
    // kKeptStretches of them; null for any other.
    const StateParts* partsAfter(int f) const;
    std::uint64_t hashAfter(int f) const { return sync_.hashAfter(f); }

  private:
    static std::size_t stretch(int f) {
        return static_cast<std::size_t>(f / kHashFrames % kKeptStretches);
    }
    const InputQueue& queue(int side) const { return side == side_ ? local_ : remote_; }
    void play(int f, bool seen);
    void checkHashes();

    int side_;
    int delay_;
    SyncLayer sync_;
    InputQueue local_, remote_;
    TimeSync timeSync_;
    FrameKeys sampled_ = 0;
    FrameKeys untaken_ = 0;  // presses sampled while the local keys waited
    int frame_ = 0;
    int peerReceived_ = kNoFrame;
    int peerFrame_ = 0;
    int peerAdvantage_ = 0;
    int wrongFrom_ = kNoFrame;                            // the first frame played on a wrong guess
    std::array<FrameKeys, InputQueue::kRing> guessed_{};  // the remote keys each frame had
    int lastHashFrame_ = kNoFrame;                        // our newest confirmed hash to send
    std::uint64_t lastHash_ = 0;
    std::array<std::pair<int, std::uint64_t>, kKeptStretches> ownHashes_{};
    std::array<std::pair<int, std::uint64_t>, kKeptStretches> peerHashes_{};
    std::array<std::pair<int, StateParts>, kKeptStretches> stretchParts_{};
    int desync_ = kNoFrame;
    int rollbacks_ = 0;
    int deepest_ = 0;
    int waits_ = 0;
    int ticks_ = 0;
    std::array<int, 60> replayedByTick_{};  // frames played again, by display frame
};
