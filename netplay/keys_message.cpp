// The keys message in about a dozen bytes.
#include "netplay/keys_message.h"

#include <algorithm>

#include "netplay/protocol.h"
#include "runtime/bytes.h"

namespace {

constexpr std::uint8_t kAllKeys = 0x7F;
constexpr std::uint8_t kRun = 0x80;  // on a key: the next byte holds its further frames
// On the count: each key is followed by the character typed with it. Versus
// types nothing, so its messages stay as they were.
constexpr std::uint32_t kTyped = 0x80;

}  // namespace

// Frames are sent as differences from the first key's, keys held over several
// frames as one key and a count, and the hash only when there is one: about
// 12 bytes a message where plain numbers took 40.
std::string encodeKeysMessage(const KeysMessage& m) {
    ByteWriter b;
    b.u8(DatagramKeys);
    b.varint(static_cast<std::uint32_t>(m.firstFrame));
    const int count = std::min<int>(m.count, KeysMessage::kMaxKeys);
    bool typed = false;
    for (int i = 0; i < count; ++i)
        typed = typed || typedIn(m.keys[static_cast<std::size_t>(i)]) != 0;
    b.u8(static_cast<std::uint32_t>(count) | (typed ? kTyped : 0u));
    for (int i = 0; i < count;) {
        const FrameKeys key = m.keys[static_cast<std::size_t>(i)];
        int run = 1;
        while (i + run < count && m.keys[static_cast<std::size_t>(i + run)] == key)
            ++run;
        const std::uint32_t held = key & kFrameKeyBits;
        if (run == 1) {
            b.u8(held);
        } else {
            b.u8(held | kRun);
            b.u8(static_cast<std::uint32_t>(run - 2));
        }
        if (typed) b.u8(static_cast<std::uint32_t>(typedIn(key)));
        i += run;
    }
    b.signedVarint(m.received - m.firstFrame);
    b.signedVarint(m.frame - m.firstFrame);
    b.signedVarint(m.advantage);
    // 0 for no hash; a hashed frame is always before the sender's next one.
    b.varint(m.hashFrame != kNoFrame ? static_cast<std::uint32_t>(m.frame - m.hashFrame) : 0u);
    if (m.hashFrame != kNoFrame) b.u64(m.hash);
    return b.bytes;
}

bool decodeKeysMessage(const std::string& bytes, KeysMessage& out) {
    ByteReader c(bytes, 0, "cut short");
    constexpr const char* kDamaged = "damaged";
    KeysMessage m;
    if (c.u8() != DatagramKeys) return false;
    const std::uint32_t first = c.varint(kDamaged);
    if (first > static_cast<std::uint32_t>(kMaxFrame)) return false;
    m.firstFrame = static_cast<std::int32_t>(first);
    const std::uint32_t counted = c.u8();
    const bool typed = (counted & kTyped) != 0;
    m.count = static_cast<std::uint8_t>(counted & ~kTyped);
    if (m.count > KeysMessage::kMaxKeys) return false;
    for (int i = 0; i < m.count && c.ok();) {
        const std::uint32_t b = c.u8();
        const int run = (b & kRun) != 0 ? static_cast<int>(c.u8()) + 2 : 1;
        const int character = typed ? static_cast<int>(c.u8()) : 0;
        if (i + run > m.count || !typable(character)) return false;
        for (int k = 0; k < run; ++k)
            m.keys[static_cast<std::size_t>(i++)] =
                withTyped(static_cast<FrameKeys>(b & kAllKeys), character);
    }
    // Differences are bounded before they are added, so nothing overflows.
    const auto after = [&](std::int32_t& f, std::int32_t low) {
        const std::int32_t d = c.signedVarint(kDamaged);
        if (d < low - kMaxFrame || d > kMaxFrame) return false;
        f = m.firstFrame + d;
        return f >= low && f <= kMaxFrame;
    };
    if (!after(m.received, kNoFrame) || !after(m.frame, 0)) return false;
    m.advantage = c.signedVarint(kDamaged);
    const std::uint32_t back = c.varint(kDamaged);
    if (back > static_cast<std::uint32_t>(m.frame)) return false;
    m.hashFrame = back == 0 ? kNoFrame : m.frame - static_cast<std::int32_t>(back);
    if (back != 0) m.hash = c.u64();
    if (!c.ok() || c.left() != 0 || m.advantage < -kMaxFrame || m.advantage > kMaxFrame)
        return false;
    out = m;
    return true;
}
