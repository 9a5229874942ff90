// The rollback session: keys by frame in rings, guesses and their
// corrections, the pace of the two sides and the comparison of hashes.
#include "app/rollback.h"

#include <algorithm>

namespace {

class Bytes {
  public:
    std::string out;
    void u8(std::uint32_t v) { out.push_back(static_cast<char>(v & 0xFFu)); }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            u8(v >> (8 * i));
    }
    void u64(std::uint64_t v) {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
};

class Cursor {
  public:
    Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool ok = true;
    bool end() const { return at_ == size_; }
    std::uint32_t u8() {
        if (at_ >= size_) {
            ok = false;
            return 0;
        }
        return data_[at_++];
    }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= u8() << (8 * i);
        return v;
    }
    std::uint64_t u64() {
        const std::uint64_t lo = u32();
        return lo | (static_cast<std::uint64_t>(u32()) << 32);
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

constexpr std::uint32_t kKeysTag = 0x4B455953;  // "KEYS"
constexpr std::uint8_t kAllKeys = 0x7F;
// Past this a frame number is not a fight anyone plays (about 9 days).
constexpr std::int32_t kMaxFrame = 1 << 26;

}  // namespace

std::string encodeKeysMessage(const KeysMessage& m) {
    Bytes b;
    b.u32(kKeysTag);
    b.u32(static_cast<std::uint32_t>(m.firstFrame));
    b.u8(m.count);
    for (int i = 0; i < m.count && i < KeysMessage::kMaxKeys; ++i)
        b.u8(m.keys[static_cast<std::size_t>(i)]);
    b.u32(static_cast<std::uint32_t>(m.received));
    b.u32(static_cast<std::uint32_t>(m.frame));
    b.u32(static_cast<std::uint32_t>(m.advantage));
    b.u32(static_cast<std::uint32_t>(m.hashFrame));
    b.u64(m.hash);
    return b.out;
}

bool decodeKeysMessage(const std::uint8_t* bytes, std::size_t size, KeysMessage& out) {
    Cursor c(bytes, size);
    KeysMessage m;
    if (c.u32() != kKeysTag) return false;
    m.firstFrame = static_cast<std::int32_t>(c.u32());
    m.count = static_cast<std::uint8_t>(c.u8());
    if (m.count > KeysMessage::kMaxKeys) return false;
    for (int i = 0; i < m.count; ++i) {
        m.keys[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(c.u8());
        if ((m.keys[static_cast<std::size_t>(i)] & ~kAllKeys) != 0) return false;
    }
    m.received = static_cast<std::int32_t>(c.u32());
    m.frame = static_cast<std::int32_t>(c.u32());
    m.advantage = static_cast<std::int32_t>(c.u32());
    m.hashFrame = static_cast<std::int32_t>(c.u32());
    m.hash = c.u64();
    const auto inRange = [](std::int32_t f, std::int32_t low) {
        return f >= low && f <= kMaxFrame;
    };
    if (!c.ok || !c.end() || !inRange(m.firstFrame, 0) || !inRange(m.received, -1) ||
        !inRange(m.frame, 0) || !inRange(m.hashFrame, -1) || m.advantage < -kMaxFrame ||
        m.advantage > kMaxFrame) {
        return false;
    }
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
    m.hashFrame = lastHashFrame_;
    m.hash = lastHash_;
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

bool RollbackSession::tick(SteppedGame& game) {
    ++ticks_;
    // The local keys of this display frame act inputDelay frames from now;
    // while this side waits they wait too.
    if (localKnown_ < frame_ + delay_) {
        ++localKnown_;
        keys_[static_cast<std::size_t>(index(side_))][static_cast<std::size_t>(slot(localKnown_))] =
            sampled_;
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
    // Ahead of the other side in time: give up one frame in six until they meet.
    const int lead = (frame_ - peerFrame_) - peerAdvantage_;
    if (lead >= 2 && ticks_ % 6 == 0) {
        ++waits_;
        return false;
    }
    play(game, frame_, true);
    ++frame_;
    return true;
}
