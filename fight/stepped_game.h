// What keeps a fight in step with another copy of it: the keys each frame
// travels with, and the calls that save, load, advance and hash the fight.
#pragma once

#include <array>
#include <cstdint>

#include "fight/hash.h"

// One player's keys for one frame, as they travel.
enum FrameKey : std::uint8_t {
    FrameUp = 1,
    FrameDown = 2,
    FrameLeft = 4,
    FrameRight = 8,
    FrameEnter = 16,
    FrameSpace = 32,
    FrameEscape = 64,
};

// One player's keys for one frame, and in the high byte the character
// typed in it (0 for none): the name entry reads typed characters.
using FrameKeys = std::uint16_t;
constexpr FrameKeys kFrameKeyBits = 0x7F;
constexpr FrameKeys withTyped(FrameKeys keys, int typed) {
    return static_cast<FrameKeys>((keys & kFrameKeyBits) | ((typed & 0xFF) << 8));
}
constexpr int typedIn(FrameKeys keys) { return keys >> 8; }
// What travels as typed: none, Backspace, and the printable characters and
// Delete that the name entry reads.
constexpr bool typable(int c) { return c == 0 || c == 8 || (c >= 32 && c <= 127); }

// A frame number that is not known yet: no keys, no hash, no end.
constexpr int kNoFrame = -1;

constexpr int kMaxPredicted = 8;  // frames played on guessed keys before waiting
// Every frame that may be played again, and the one before the oldest.
constexpr int kSnapshotSlots = kMaxPredicted + 2;
constexpr int kStateParts = kFightParts;  // the hashed parts that tell where two sides parted
using StateParts = std::array<std::uint64_t, kStateParts>;

// What the session needs of the fight it keeps in step.
class SteppedGame {
  public:
    virtual ~SteppedGame() = default;
    // The state before a frame, in one of kSnapshotSlots slots.
    virtual void save(int slot) = 0;
    virtual void load(int slot) = 0;
    // One frame with both players' keys; unseen when it is played again.
    virtual void advance(FrameKeys playerOne, FrameKeys playerTwo, bool seen) = 0;
    virtual std::uint64_t hash() = 0;
    // The state in parts, each hashed, to tell where two sides parted.
    virtual StateParts parts() = 0;
};
