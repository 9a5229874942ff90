// The host's feed of confirmed frames to its watchers, and the door that
// tells players from watchers on a shared port.
#include "netplay/watchers.h"

#include <algorithm>

#include "fight/simulation_version.h"
#include "netplay/rollback.h"
#include "netplay/session.h"

namespace {

// A link that has not said hello in this long is forgotten, as is one that
// is told to leave, once it has had the time to hear why.
constexpr int kHelloMillis = kNoAnswerMillis;
constexpr int kLeavingMillis = 1000;

// The early datagrams of an address, read while it was sorted, come first.
class EarlyLink : public NetLink {
  public:
    EarlyLink(std::unique_ptr<NetLink> link, std::vector<std::string> early)
        : link_(std::move(link)), early_(std::move(early)) {}
    void send(const std::string& datagram) override { link_->send(datagram); }
    bool receive(std::vector<std::string>& datagrams) override {
        for (std::string& d : early_)
            datagrams.push_back(std::move(d));
        early_.clear();
        return link_->receive(datagrams);
    }

  private:
    std::unique_ptr<NetLink> link_;
    std::vector<std::string> early_;
};

}  // namespace

void WatcherFeed::offer(const SeriesStart& start) {
    start_ = start;
    offered_ = true;
}

void WatcherFeed::add(std::unique_ptr<NetLink> link, int now) {
    if (!link || watchers_.size() >= static_cast<std::size_t>(kMaxWatcherLinks)) return;
    Watcher& w = watchers_.emplace_back();
    w.link = std::move(link);
    w.protocol = std::make_unique<PeerProtocol>(*w.link);
    w.protocol->resendByRoundTrip();
    w.since = now;
}

void WatcherFeed::take(int confirmed, const std::function<FrameKeys(int, int)>& keysOf) {
    const int upTo = std::min(confirmed, kMaxFeedFrames);
    for (int f = static_cast<int>(one_.size()); f < upTo; ++f) {
        one_.push_back(keysOf(1, f));
        two_.push_back(keysOf(2, f));
    }
}

void WatcherFeed::take(const RollbackSession& session) {
    take(session.confirmed(), [&session](int side, int f) { return session.keysOf(side, f); });
}

void WatcherFeed::end(const FeedEnd& e) {
    if (ended_) return;
    ended_ = true;
    end_ = e;
    end_.frame = std::clamp(e.frame, 0, framesKept());
}

void WatcherFeed::dismiss(Watcher& w, const std::string& reason, int now) {
    // Said a few times over: the watcher is forgotten before any acknowledgement.
    for (int i = 0; i < 3; ++i)
        w.protocol->sendReliable(refusedMessage({{kOnlineProtocol, kSimulationVersion}, reason}),
                                 now);
    w.state = State::Leaving;
    w.since = now;
}

void WatcherFeed::hear(Watcher& w, int now) {
    std::string m;
    while (w.state != State::Leaving && w.protocol->nextReliable(m)) {
        Versions versions;
        if (m.empty()) continue;
        if (m[0] == MessageGoodbye || m[0] == MessageRefused) {
            w.state = State::Leaving;
            w.since = now - kLeavingMillis;
        } else if (m[0] == MessageWatch && w.state == State::Waiting) {
            if (!readWatch(m, versions)) {
                dismiss(w, "the watcher's hello is damaged", now);
            } else if (const std::string wrong = versionMismatch(versions); !wrong.empty()) {
                dismiss(w, wrong, now);
            } else if (watching() >= kMaxWatchers) {
                dismiss(w, "This game already has " + std::to_string(kMaxWatchers) + " watchers",
                        now);
            } else {
                w.protocol->sendReliable(
                    welcomeMessage({kOnlineProtocol, kSimulationVersion}, start_), now);
                w.state = State::Watching;
                w.behindAt = now;
                w.behind = framesKept();
            }
        } else if (m[0] != MessageWatch) {
            dismiss(w, "only watchers speak on this link", now);
        }
    }
}

void WatcherFeed::feed(Watcher& w, int now) {
    while (!w.inFlight.empty() && w.inFlight.front().first <= w.protocol->acknowledged()) {
        w.acknowledged = w.inFlight.front().second;
        w.inFlight.pop_front();
    }
    const int kept = framesKept();
    const int limit = ended_ ? end_.frame : kept;
    for (int n = 0; n < kChunksPerFrame && w.sent < limit; ++n) {
        const int room = kFramesInFlight - (w.sent - w.acknowledged);
        const int count = std::min({kFeedChunk, limit - w.sent, room});
        if (count <= 0 || w.inFlight.size() >= kMessagesInFlight) break;
        // A short stretch waits for more, unless it has waited long enough.
        if (count < kFeedFrames && !ended_ && now - w.lastSent < kFeedMillis) break;
        FeedFrames f;
        f.first = w.sent;
        f.count = count;
        f.confirmed = kept;
        for (int i = 0; i < count; ++i) {
            f.one[static_cast<std::size_t>(i)] = one_[static_cast<std::size_t>(w.sent + i)];
            f.two[static_cast<std::size_t>(i)] = two_[static_cast<std::size_t>(w.sent + i)];
        }
        w.protocol->sendReliable(framesMessage(f), now);
        w.sent += count;
        w.lastSent = now;
        w.inFlight.emplace_back(w.protocol->lastSent(), w.sent);
    }
    if (ended_ && !w.endSent && w.sent >= end_.frame && w.inFlight.size() < kMessagesInFlight) {
        w.protocol->sendReliable(endedMessage(end_), now);
        w.inFlight.emplace_back(w.protocol->lastSent(), w.sent);
        w.endSent = true;
    }
}

void WatcherFeed::poll(int now) {
    for (Watcher& w : watchers_) {
        w.protocol->poll(now);
        w.protocol->keys().clear();
        if (w.state == State::Leaving) continue;
        if (offered_) hear(w, now);
        if (w.state == State::Leaving) continue;
        const bool heard = w.protocol->heardAnything();
        if (w.protocol->failed() || (heard && w.protocol->silentMillis(now) >= kLostMillis)) {
            dismiss(w, "The host heard nothing from you for too long", now);
        } else if (w.state == State::Waiting && now - w.since >= kHelloMillis) {
            dismiss(w, "No hello came", now);
        } else if (w.state == State::Watching) {
            feed(w, now);
            if (now - w.behindAt >= kGainMillis) {
                const int behind = framesKept() - w.acknowledged;
                if (behind > kMaxBehindFrames && behind >= w.behind)
                    dismiss(w, "You fell too far behind the players", now);
                w.behindAt = now;
                w.behind = behind;
            }
        }
    }
    std::erase_if(watchers_, [&](const Watcher& w) {
        const bool gone = w.state == State::Leaving && now - w.since >= kLeavingMillis;
        if (gone) {
            bytesGone_ += w.protocol->bytesSent();
            datagramsGone_ += w.protocol->datagramsSent();
        }
        return gone;
    });
}

int WatcherFeed::watching() const {
    return static_cast<int>(std::count_if(watchers_.begin(), watchers_.end(), [](const Watcher& w) {
        return w.state == State::Watching;
    }));
}

bool WatcherFeed::delivered() const {
    return std::all_of(watchers_.begin(), watchers_.end(), [](const Watcher& w) {
        return w.state != State::Watching || (w.endSent && w.inFlight.empty());
    });
}

std::uint64_t WatcherFeed::bytesSent() const {
    std::uint64_t sum = bytesGone_;
    for (const Watcher& w : watchers_)
        sum += w.protocol->bytesSent();
    return sum;
}

std::uint64_t WatcherFeed::datagramsSent() const {
    std::uint64_t sum = datagramsGone_;
    for (const Watcher& w : watchers_)
        sum += w.protocol->datagramsSent();
    return sum;
}

HostDoor::HostDoor(std::unique_ptr<UdpHub> hub, WatcherFeed& feed, int (*clock)())
    : hub_(std::move(hub)), feed_(feed), clock_(clock) {}

HostDoor::~HostDoor() = default;

void HostDoor::sort() {
    const int now = clock_();
    while (std::unique_ptr<NetLink> link = hub_->arrival())
        pending_.push_back({std::move(link), {}, now});
    for (Pending& p : pending_) {
        std::vector<std::string> arrived;
        p.link->receive(arrived);
        for (std::string& d : arrived) {
            if (p.early.size() < PeerProtocol::kMaxAhead) p.early.push_back(std::move(d));
        }
        char tag = 0;
        for (const std::string& d : p.early)
            if (tag == 0) tag = firstMessageTag(d);
        if (tag == MessageHello && !player_) {
            hub_->roam(*p.link);
            player_ = std::make_unique<EarlyLink>(std::move(p.link), std::move(p.early));
        } else if (tag == MessageWatch) {
            feed_.add(std::make_unique<EarlyLink>(std::move(p.link), std::move(p.early)), now);
        }
    }
    std::erase_if(pending_,
                  [now](const Pending& p) { return !p.link || now - p.since >= kHelloMillis; });
}

void HostDoor::send(const std::string& datagram) {
    if (player_) player_->send(datagram);
}

bool HostDoor::receive(std::vector<std::string>& datagrams) {
    sort();
    return player_ ? player_->receive(datagrams) : true;
}
