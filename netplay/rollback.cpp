// The rollback session: key queues, guesses and their corrections, the pace
// of the two sides and the comparison of hashes.
#include "netplay/rollback.h"

#include <algorithm>

void InputQueue::put(int f, FrameKeys keys) {
    if (f <= known_ || f > known_ + kRing / 2) return;
    const std::size_t s = slot(f);
    if (arrived_[s]) return;
    keys_[s] = keys;
    arrived_[s] = true;
}

bool InputQueue::takeNext(int& f) {
    const std::size_t s = slot(known_ + 1);
    if (!arrived_[s]) return false;
    arrived_[s] = false;
    f = ++known_;
    return true;
}

FrameKeys InputQueue::keysOrGuess(int f) const {
    if (f <= known_ || arrived_[slot(f)]) return keys_[slot(f)];
    return known_ != kNoFrame ? static_cast<FrameKeys>(keys_[slot(known_)] & kFrameKeyBits) : 0;
}

int TimeSync::average(int lead) {
    last_ = std::clamp(lead, -kMaxLead, kMaxLead);
    int& oldest = leads_[static_cast<std::size_t>(next_)];
    sum_ += last_ - oldest;
    oldest = last_;
    next_ = (next_ + 1) % kTicks;
    return sum_ / kTicks;
}

RollbackSession::RollbackSession(int side, int inputDelay, SteppedGame& game)
    : side_(side == 2 ? 2 : 1), delay_(std::clamp(inputDelay, 0, kMaxInputDelay)), sync_(game) {
    ownHashes_.fill({kNoFrame, 0});
    peerHashes_.fill({kNoFrame, 0});
    stretchParts_.fill({kNoFrame, {}});
    // The first frames, before any key can have acted, are played with none.
    for (int f = 0; f < delay_; ++f) {
        local_.put(f, 0);
        int taken = 0;
        local_.takeNext(taken);
    }
}

int RollbackSession::confirmed() const { return std::min(frame_, remote_.knownUpTo() + 1); }

void RollbackSession::receive(const KeysMessage& m) {
    for (int i = 0; i < m.count; ++i)
        remote_.put(m.firstFrame + i, m.keys[static_cast<std::size_t>(i)]);
    int f = 0;
    while (remote_.takeNext(f)) {
        const std::size_t s = static_cast<std::size_t>(f % InputQueue::kRing);
        if (f < frame_ && guessed_[s] != remote_.at(f) &&
            (wrongFrom_ == kNoFrame || f < wrongFrom_))
            wrongFrom_ = f;
    }
    peerReceived_ = std::max(peerReceived_, m.received);
    peerFrame_ = std::max(peerFrame_, m.frame);
    if (m.hashFrame != kNoFrame) peerHashes_[stretch(m.hashFrame)] = {m.hashFrame, m.hash};
    peerAdvantage_ = m.advantage;
    checkHashes();
}

void RollbackSession::checkHashes() {
    for (const auto& [f, h] : peerHashes_) {
        if (f == kNoFrame) continue;
        const auto& own = ownHashes_[stretch(f)];
        if (own.first == f && own.second != h && (desync_ == kNoFrame || f < desync_)) desync_ = f;
    }
}

KeysMessage RollbackSession::outgoing() const {
    KeysMessage m;
    const int known = local_.knownUpTo();
    const int first = std::max({peerReceived_ + 1, known - KeysMessage::kMaxKeys + 1, 0});
    m.firstFrame = first;
    for (int f = first; f <= known; ++f)
        m.keys[static_cast<std::size_t>(m.count++)] = local_.at(f);
    m.received = remote_.knownUpTo();
    m.frame = frame_;
    m.advantage = frame_ - peerFrame_;
    // The hash of a stretch rides on one message in four: a few of the
    // fifteen or so that carry it are enough.
    if (frame_ % kHashEvery == 0) {
        m.hashFrame = lastHashFrame_;
        m.hash = lastHash_;
    }
    return m;
}

void RollbackSession::play(int f, bool seen) {
    const FrameKeys remote = remote_.keysOrGuess(f);
    guessed_[static_cast<std::size_t>(f % InputQueue::kRing)] = remote;
    const FrameKeys local = local_.at(f);
    sync_.play(f, side_ == 1 ? local : remote, side_ == 1 ? remote : local, seen);
    if ((f + 1) % kHashFrames == 0) stretchParts_[stretch(f)] = {f, sync_.game().parts()};
}

const StateParts* RollbackSession::partsAfter(int f) const {
    if (f < 0) return nullptr;
    const auto& kept = stretchParts_[stretch(f)];
    return kept.first == f ? &kept.second : nullptr;
}

void RollbackSession::showLastFrame() {
    if (frame_ == 0) return;
    sync_.loadBefore(frame_ - 1);
    play(frame_ - 1, true);
}

int RollbackSession::rolledBackLately() const {
    int sum = 0;
    for (int n : replayedByTick_)
        sum += n;
    return sum;
}

bool RollbackSession::tick() {
    ++ticks_;
    int& replayed = replayedByTick_[static_cast<std::size_t>(ticks_ % 60)];
    replayed = 0;
    // The local keys of this display frame act inputDelay frames from now;
    // while this side waits they wait too.
    if (local_.knownUpTo() < frame_ + delay_) {
        local_.put(local_.knownUpTo() + 1, static_cast<FrameKeys>(sampled_ | untaken_));
        int taken = 0;
        local_.takeNext(taken);
        untaken_ = 0;
    } else {
        // A tap of Enter, Space or Esc while waiting is kept for the next frame;
        // a typed character is offered again by the screen until it is taken.
        untaken_ =
            static_cast<FrameKeys>(untaken_ | (sampled_ & (FrameEnter | FrameSpace | FrameEscape)));
    }
    if (wrongFrom_ != kNoFrame) {
        const int from = wrongFrom_;
        wrongFrom_ = kNoFrame;
        sync_.loadBefore(from);
        for (int f = from; f < frame_; ++f)
            play(f, false);
        ++rollbacks_;
        replayed = frame_ - from;
        deepest_ = std::max(deepest_, frame_ - from);
    }
    // Confirmed frames are final: the newest one that ends a stretch of 60 is
    // sent to the other side and kept to compare with its own.
    const int grid = (confirmed() / kHashFrames) * kHashFrames - 1;
    if (grid > lastHashFrame_ && frame_ - grid < SyncLayer::kHashRing) {
        lastHashFrame_ = grid;
        lastHash_ = sync_.hashAfter(grid);
        ownHashes_[stretch(grid)] = {grid, lastHash_};
        checkHashes();
    }
    // Too far ahead of the other side's keys: wait for them.
    if (frame_ - remote_.knownUpTo() > kMaxPredicted) {
        ++waits_;
        return false;
    }
    // Ahead of the other side in time: give up one frame in six until they meet.
    if (timeSync_.average((frame_ - peerFrame_) - peerAdvantage_) >= 2 && ticks_ % 6 == 0) {
        ++waits_;
        return false;
    }
    play(frame_, true);
    ++frame_;
    return true;
}
