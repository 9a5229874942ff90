// Keeping one fight in step on two machines: each side plays its own keys at
// once (after an input delay), guesses the other side's as the last it saw,
// and when the real ones arrive and differ, goes back to the first frame it
// guessed wrong and plays forward again unseen. What it sends the other side
// repeats every frame's keys until they are acknowledged, so a lost message
// costs nothing; confirmed frames are hashed and compared every 60 frames.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "fight/stepped_game.h"

constexpr int kMaxInputDelay = 8;  // frames
constexpr int kHashFrames = 60;    // confirmed frames between two compared hashes

// One message from a side to the other, sent every frame.
struct KeysMessage {
    static constexpr int kMaxKeys = 48;
    std::int32_t firstFrame = 0;  // the frame of keys[0]
    std::uint8_t count = 0;
    std::array<std::uint8_t, kMaxKeys> keys{};
    std::int32_t received = -1;   // the other side's keys received up to this frame
    std::int32_t frame = 0;       // the sender's next frame, to keep the two in pace
    std::int32_t advantage = 0;   // how far the sender sees itself ahead of the other
    std::int32_t hashFrame = -1;  // a confirmed frame ending a stretch of 60, and the hash after
                                  // it, or -1 for none
    std::uint64_t hash = 0;
};
// Little-endian bytes; decoding refuses anything malformed.
std::string encodeKeysMessage(const KeysMessage& m);
bool decodeKeysMessage(const std::string& bytes, KeysMessage& out);

class RollbackSession {
  public:
    // side: 1 for player 1 (the host), 2 for player 2.
    RollbackSession(int side, int inputDelay);

    // This frame's keys of the local player; they act inputDelay frames later.
    void setLocalKeys(std::uint8_t keys) { sampled_ = keys; }
    void receive(const KeysMessage& m);
    KeysMessage outgoing() const;

    // One display frame: the correction of wrong guesses, if any, then the
    // next frame unless too many are guessed already or this side runs ahead.
    // False when no new frame was played.
    bool tick(SteppedGame& game);

    int frame() const { return frame_; }          // frames played
    int confirmed() const;                        // frames played on both sides' real keys
    int desyncFrame() const { return desync_; }   // -1 while the hashes agree
    int rollbacks() const { return rollbacks_; }  // corrections made
    int deepestRollback() const { return deepest_; }
    int waits() const { return waits_; }               // display frames without a new frame
    int localKeysUpTo() const { return localKnown_; }  // the newest frame with local keys set
    // The keys a side played frame f with: final once f is confirmed, and
    // kept for the last 64 frames.
    std::uint8_t keysOf(int side, int f) const {
        return keys_[static_cast<std::size_t>(index(side))][static_cast<std::size_t>(slot(f))];
    }
    // The state's parts after a frame that ends a stretch of 60, for the last
    // eight of them; null for any other.
    const StateParts* partsAfter(int f) const;
    // The hash of the state after frame f, for the last 64 frames.
    std::uint64_t hashAfter(int f) const { return hashes_[static_cast<std::size_t>(slot(f))]; }

  private:
    static constexpr int kRing = 128;
    static int slot(int f) { return ((f % kRing) + kRing) % kRing; }
    static int index(int side) { return side == 1 ? 0 : 1; }
    std::uint8_t remoteKeysFor(int f) const;
    void play(SteppedGame& game, int f, bool seen);
    void noteHash(int f, std::uint64_t h);
    void checkHashes();
    int leadAverage();  // over the last display frames, with this one's

    int side_;
    int delay_;
    std::uint8_t sampled_ = 0;
    std::uint8_t untaken_ = 0;  // presses sampled while the local keys waited
    int frame_ = 0;
    int localKnown_ = -1;   // local keys set up to this frame
    int remoteKnown_ = -1;  // remote keys received without a gap up to this frame
    int peerReceived_ = -1;
    int peerFrame_ = 0;
    int peerAdvantage_ = 0;
    int wrongFrom_ = -1;  // the first frame played on a wrong guess, -1 for none
    std::array<std::array<std::uint8_t, kRing>, 2> keys_{};
    std::array<bool, kRing> remoteArrived_{};
    std::array<std::uint8_t, kRing> guessed_{};  // the remote keys each frame was played with
    std::array<std::uint64_t, kRing> hashes_{};  // the state after each frame
    int lastHashFrame_ = -1;                     // our newest confirmed hash to send
    std::uint64_t lastHash_ = 0;
    std::array<std::pair<int, std::uint64_t>, 8> ownHashes_{};  // confirmed, to compare
    std::array<std::pair<int, std::uint64_t>, 8> peerHashes_{};
    std::array<std::pair<int, StateParts>, 8> gridParts_{};
    int desync_ = -1;
    int rollbacks_ = 0;
    int deepest_ = 0;
    int waits_ = 0;
    int ticks_ = 0;
    static constexpr int kLeadTicks = 30;
    std::array<int, kLeadTicks> leads_{};
    int leadSum_ = 0;
};
