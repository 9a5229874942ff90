// The rollback session: keys by frame in rings, guesses and their
// corrections, the pace of the two sides and the comparison of hashes.
#include "netplay/rollback.h"

#include <algorithm>

#include "runtime/bytes.h"

namespace {

constexpr std::uint8_t kKeysTag = 'K';
constexpr std::uint8_t kAllKeys = 0x7F;
constexpr std::uint8_t kRun = 0x80;  // on a key: the next byte holds its further frames
// Past this a frame number is not a fight anyone plays (about 9 days).
constexpr std::int32_t kMaxFrame = 1 << 26;

}  // namespace

// Frames are sent as differences from the first key's, keys held over several
// frames as one key and a count, and the hash only when there is one: about
// 12 bytes a message where plain numbers took 40.
std::string encodeKeysMessage(const KeysMessage& m) {
    ByteWriter b;
    b.u8(kKeysTag);
    b.varint(static_cast<std::uint32_t>(m.firstFrame));
    const int count = std::min<int>(m.count, KeysMessage::kMaxKeys);
    b.u8(static_cast<std::uint32_t>(count));
    for (int i = 0; i < count;) {
        const std::uint8_t key = m.keys[static_cast<std::size_t>(i)];
        int run = 1;
        while (i + run < count && m.keys[static_cast<std::size_t>(i + run)] == key)
            ++run;
        if (run == 1) {
            b.u8(key);
        } else {
            b.u8(key | kRun);
            b.u8(static_cast<std::uint32_t>(run - 2));
        }
        i += run;
    }
    b.signedVarint(m.received - m.firstFrame);
    b.signedVarint(m.frame - m.firstFrame);
    b.signedVarint(m.advantage);
    // 0 for no hash; a hashed frame is always before the sender's next one.
    b.varint(m.hashFrame >= 0 ? static_cast<std::uint32_t>(m.frame - m.hashFrame) : 0u);
    if (m.hashFrame >= 0) b.u64(m.hash);
    return b.bytes;
}

bool decodeKeysMessage(const std::string& bytes, KeysMessage& out) {
    ByteReader c(bytes, 0, "cut short");
    constexpr const char* kDamaged = "damaged";
    KeysMessage m;
    if (c.u8() != kKeysTag) return false;
    const std::uint32_t first = c.varint(kDamaged);
    if (first > static_cast<std::uint32_t>(kMaxFrame)) return false;
    m.firstFrame = static_cast<std::int32_t>(first);
    m.count = static_cast<std::uint8_t>(c.u8());
    if (m.count > KeysMessage::kMaxKeys) return false;
    for (int i = 0; i < m.count && c.ok();) {
        const std::uint32_t b = c.u8();
        const int run = (b & kRun) != 0 ? static_cast<int>(c.u8()) + 2 : 1;
        if (i + run > m.count) return false;
        for (int k = 0; k < run; ++k)
            m.keys[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(b & kAllKeys);
    }
    // Differences are bounded before they are added, so nothing overflows.
    const auto after = [&](std::int32_t& f, std::int32_t low) {
        const std::int32_t d = c.signedVarint(kDamaged);
        if (d < low - kMaxFrame || d > kMaxFrame) return false;
        f = m.firstFrame + d;
        return f >= low && f <= kMaxFrame;
    };
    if (!after(m.received, -1) || !after(m.frame, 0)) return false;
    m.advantage = c.signedVarint(kDamaged);
    const std::uint32_t back = c.varint(kDamaged);
    if (back > static_cast<std::uint32_t>(m.frame)) return false;
    m.hashFrame = back == 0 ? -1 : m.frame - static_cast<std::int32_t>(back);
    if (back != 0) m.hash = c.u64();
    if (!c.ok() || c.left() != 0 || m.advantage < -kMaxFrame || m.advantage > kMaxFrame)
        return false;
    out = m;
    return true;
}

RollbackSession::RollbackSession(int side, int inputDelay)
    : side_(side == 2 ? 2 : 1), delay_(std::clamp(inputDelay, 0, kMaxInputDelay)) {
    ownHashes_.fill({-1, 0});
    gridParts_.fill({-1, {}});
    peerHashes_.fill({-1, 0});
    // The first frames, before any key can have acted, are played with none.
    localKnown_ = delay_ - 1;
}

int RollbackSession::confirmed() const { return std::min(frame_, remoteKnown_ + 1); }

std::uint8_t RollbackSession::remoteKeysFor(int f) const {
    const int remote = index(3 - side_);
    if (f <= remoteKnown_ || remoteArrived_[static_cast<std::size_t>(slot(f))])
        return keys_[static_cast<std::size_t>(remote)][static_cast<std::size_t>(slot(f))];
    // The guess: the other side holds what it held last.
    return remoteKnown_ >= 0 ? keys_[static_cast<std::size_t>(remote)]
                                    [static_cast<std::size_t>(slot(remoteKnown_))]
                             : 0;
}

void RollbackSession::receive(const KeysMessage& m) {
    const std::size_t remote = static_cast<std::size_t>(index(3 - side_));
    for (int i = 0; i < m.count; ++i) {
        const int f = m.firstFrame + i;
        // Only frames this side can still use: not long confirmed, not beyond its ring.
        if (f <= remoteKnown_ || f > remoteKnown_ + kRing / 2) continue;
        const std::size_t s = static_cast<std::size_t>(slot(f));
        if (remoteArrived_[s]) continue;
        keys_[remote][s] = m.keys[static_cast<std::size_t>(i)];
        remoteArrived_[s] = true;
    }
    while (remoteArrived_[static_cast<std::size_t>(slot(remoteKnown_ + 1))]) {
        const int f = ++remoteKnown_;
        const std::size_t s = static_cast<std::size_t>(slot(f));
        remoteArrived_[s] = false;
        if (f < frame_ && guessed_[s] != keys_[remote][s] && (wrongFrom_ < 0 || f < wrongFrom_))
            wrongFrom_ = f;
    }
    peerReceived_ = std::max(peerReceived_, m.received);
    peerFrame_ = std::max(peerFrame_, m.frame);
    if (m.hashFrame >= 0) {
        peerHashes_[static_cast<std::size_t>(m.hashFrame / kHashFrames % 8)] = {m.hashFrame,
                                                                                m.hash};
    }
    peerAdvantage_ = m.advantage;
    checkHashes();
}

void RollbackSession::checkHashes() {
    for (const auto& [f, h] : peerHashes_) {
        if (f < 0) continue;
        const auto& own = ownHashes_[static_cast<std::size_t>(f / kHashFrames % 8)];
        if (own.first == f && own.second != h && (desync_ < 0 || f < desync_)) desync_ = f;
    }
}

KeysMessage RollbackSession::outgoing() const {
    KeysMessage m;
    const std::size_t local = static_cast<std::size_t>(index(side_));
    const int first = std::max({peerReceived_ + 1, localKnown_ - KeysMessage::kMaxKeys + 1, 0});
    m.firstFrame = first;
    for (int f = first; f <= localKnown_; ++f)
        m.keys[static_cast<std::size_t>(m.count++)] =
            keys_[local][static_cast<std::size_t>(slot(f))];
    m.received = remoteKnown_;
    m.frame = frame_;
    m.advantage = frame_ - peerFrame_;
    // The hash of a stretch rides on one message in four: a few of the
    // fifteen or so that carry it are enough.
    if (frame_ % 4 == 0) {
        m.hashFrame = lastHashFrame_;
        m.hash = lastHash_;
    }
    return m;
}

void RollbackSession::noteHash(int f, std::uint64_t h) {
    hashes_[static_cast<std::size_t>(slot(f))] = h;
}

void RollbackSession::play(SteppedGame& game, int f, bool seen) {
    const std::size_t s = static_cast<std::size_t>(slot(f));
    game.save(f % kSnapshotSlots);
    const std::uint8_t remote = remoteKeysFor(f);
    guessed_[s] = remote;
    const std::uint8_t local = keys_[static_cast<std::size_t>(index(side_))][s];
    game.advance(side_ == 1 ? local : remote, side_ == 1 ? remote : local, seen);
    noteHash(f, game.hash());
    if ((f + 1) % kHashFrames == 0)
        gridParts_[static_cast<std::size_t>(f / kHashFrames % 8)] = {f, game.parts()};
}

const StateParts* RollbackSession::partsAfter(int f) const {
    const auto& kept = gridParts_[static_cast<std::size_t>(f / kHashFrames % 8)];
    return f >= 0 && kept.first == f ? &kept.second : nullptr;
}

int RollbackSession::leadAverage() {
    const int lead = (frame_ - peerFrame_) - peerAdvantage_;
    int& oldest = leads_[static_cast<std::size_t>(ticks_ % kLeadTicks)];
    leadSum_ += lead - oldest;
    oldest = lead;
    return leadSum_ / kLeadTicks;
}

bool RollbackSession::tick(SteppedGame& game) {
    ++ticks_;
    // The local keys of this display frame act inputDelay frames from now;
    // while this side waits they wait too.
    if (localKnown_ < frame_ + delay_) {
        ++localKnown_;
        keys_[static_cast<std::size_t>(index(side_))][static_cast<std::size_t>(slot(localKnown_))] =
            sampled_ | untaken_;
        untaken_ = 0;
    } else {
        // A tap of Enter, Space or Esc while waiting is kept for the next frame.
        untaken_ |= sampled_ & (FrameEnter | FrameSpace | FrameEscape);
    }
    if (wrongFrom_ >= 0) {
        const int from = wrongFrom_;
        wrongFrom_ = -1;
        game.load(from % kSnapshotSlots);
        for (int f = from; f < frame_; ++f)
            play(game, f, false);
        ++rollbacks_;
        deepest_ = std::max(deepest_, frame_ - from);
    }
    // Confirmed frames are final: the newest one that ends a stretch of 60 is
    // sent to the other side and kept to compare with its own.
    const int grid = (confirmed() / kHashFrames) * kHashFrames - 1;
    if (grid > lastHashFrame_ && frame_ - grid < kRing) {
        lastHashFrame_ = grid;
        lastHash_ = hashes_[static_cast<std::size_t>(slot(grid))];
        ownHashes_[static_cast<std::size_t>(grid / kHashFrames % 8)] = {grid, lastHash_};
        checkHashes();
    }
    // Too far ahead of the other side's keys: wait for them.
    if (frame_ - remoteKnown_ > kMaxPredicted) {
        ++waits_;
        return false;
    }
    // Ahead of the other side in time: give up one frame in six until they
    // meet. The lead is averaged, so that a late message alone costs no frame.
    if (leadAverage() >= 2 && ticks_ % 6 == 0) {
        ++waits_;
        return false;
    }
    play(game, frame_, true);
    ++frame_;
    return true;
}
