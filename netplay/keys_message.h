// The keys message each side sends every display frame: its own keys from the
// first frame the other side has not acknowledged, how far it has the other
// side's, where it stands in time and, now and then, a confirmed hash.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "fight/stepped_game.h"

// Past this a frame number is not a fight anyone plays (about 13 days), so
// sums and differences of frames from the wire stay far from overflow.
constexpr std::int32_t kMaxFrame = 1 << 26;

struct KeysMessage {
    // Keys a message repeats at most: more than the other side can guess
    // ahead, with room for the input delay and a lost stretch.
    static constexpr int kMaxKeys = 48;
    std::int32_t firstFrame = 0;  // the frame of keys[0]
    std::uint8_t count = 0;
    std::array<FrameKeys, kMaxKeys> keys{};
    std::int32_t received = kNoFrame;   // the other side's keys received up to this frame
    std::int32_t frame = 0;             // the sender's next frame, to keep the two in pace
    std::int32_t advantage = 0;         // how far the sender sees itself ahead of the other
    std::int32_t hashFrame = kNoFrame;  // a confirmed frame ending a stretch of 60, with the
                                        // hash after it
    std::uint64_t hash = 0;
};
// Little-endian bytes behind the keys datagram's tag; decoding refuses
// anything malformed and any number out of its range.
std::string encodeKeysMessage(const KeysMessage& m);
bool decodeKeysMessage(const std::string& bytes, KeysMessage& out);
