// Watchers of an online series, on the host: each speaks over a link of its
// own with a peer protocol of its own, is welcomed with the series' start and
// is then sent both players' confirmed keys from frame 0 on, acknowledged
// stretch by stretch, and at last how the series ended. The feed only reads
// what the players have confirmed and sends a bounded amount each display
// frame, so nothing a watcher does can make the players wait.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "netplay/messages.h"
#include "netplay/protocol.h"
#include "runtime/net/link.h"

class RollbackSession;
class UdpHub;

// Links the feed holds at most: the watchers, those that have not said
// hello yet and those being told why they cannot stay.
constexpr int kMaxWatcherLinks = kMaxWatchers + 4;
// Frames sent to a watcher and not yet acknowledged, at most; and messages.
constexpr int kFramesInFlight = 16 * kFeedChunk;
constexpr std::size_t kMessagesInFlight = 32;
// Frames messages one watcher is sent in one display frame, at most: a
// watcher that comes late catches up at 60 times this many frames a second.
constexpr int kChunksPerFrame = 4;
// A stretch goes out once this many frames are new (a tenth of a second),
// or a shorter one this long after the last went: confirmed frames come
// unevenly, and each stretch costs a datagram.
constexpr int kFeedFrames = 6;
constexpr int kFeedMillis = 200;
// A watcher whose acknowledged frames lie this far behind the confirmed
// ones (10 s), and that has not gained on them in kGainMillis, is dropped.
constexpr int kMaxBehindFrames = 600;
constexpr int kGainMillis = 5000;
// The confirmed keys the host keeps for watchers: 12 hours of play, 4 bytes
// a frame (an hour costs 864 KB).
constexpr int kMaxFeedFrames = 12 * 60 * 60 * 60;

class WatcherFeed {
  public:
    // What watchers are welcomed with; until it is given they wait.
    void offer(const SeriesStart& start);
    // A link a watcher speaks on, now or soon; beyond kMaxWatcherLinks it is
    // let go unheard.
    void add(std::unique_ptr<NetLink> link, int now);
    // Frames the players have confirmed: keysOf(side, frame) for those from
    // the last call on. Called every display frame, while they are kept.
    void take(int confirmed, const std::function<FrameKeys(int, int)>& keysOf);
    void take(const RollbackSession& session);
    // The series ended: watchers are sent the frames up to e.frame, then e.
    void end(const FeedEnd& e);
    // One display frame: what the watchers said, and what they are sent.
    void poll(int now);

    // Watchers welcomed and still watching.
    int watching() const;
    // Every watcher has everything, the end included, acknowledged.
    bool delivered() const;
    // Bytes sent to watchers, all of them together, datagrams whole.
    std::uint64_t bytesSent() const;
    std::uint64_t datagramsSent() const;
    int framesKept() const { return static_cast<int>(one_.size()); }

  private:
    enum class State { Waiting, Watching, Leaving };
    struct Watcher {
        std::unique_ptr<NetLink> link;
        std::unique_ptr<PeerProtocol> protocol;
        State state = State::Waiting;
        int since = 0;  // added, or told to leave
        int sent = 0;   // frames sent
        int acknowledged = 0;
        int lastSent = 0;
        std::deque<std::pair<std::uint32_t, int>> inFlight;  // message number, frames up to
        bool endSent = false;
        int behindAt = 0;  // when the gap was last measured, and what it was
        int behind = 0;
    };
    void hear(Watcher& w, int now);
    void feed(Watcher& w, int now);
    void dismiss(Watcher& w, const std::string& reason, int now);

    bool offered_ = false;
    SeriesStart start_;
    std::vector<Watcher> watchers_;
    std::vector<FrameKeys> one_, two_;
    bool ended_ = false;
    FeedEnd end_;
    std::uint64_t bytesGone_ = 0;  // sent to watchers since forgotten
    std::uint64_t datagramsGone_ = 0;
};

// The host's port with room for watchers, as the player's link: of the
// addresses that write to it, the first whose first message is a player's
// hello is the player, whose datagrams this link carries; those whose first
// is a watcher's go to the feed, and any other is forgotten after a while.
class HostDoor : public NetLink {
  public:
    // clock: milliseconds now.
    HostDoor(std::unique_ptr<UdpHub> hub, WatcherFeed& feed, int (*clock)());
    ~HostDoor() override;
    HostDoor(const HostDoor&) = delete;
    HostDoor& operator=(const HostDoor&) = delete;
    void send(const std::string& datagram) override;
    bool receive(std::vector<std::string>& datagrams) override;
    // New addresses sorted; receive does it too.
    void sort();

  private:
    struct Pending {
        std::unique_ptr<NetLink> link;
        std::vector<std::string> early;
        int since = 0;
    };
    std::unique_ptr<UdpHub> hub_;
    WatcherFeed& feed_;
    int (*clock_)();
    std::vector<Pending> pending_;
    std::unique_ptr<NetLink> player_;
};
// Addresses a host's hub hears at once: the player, the watchers and a few
// that have not said who they are.
constexpr int kHubAddresses = 1 + kMaxWatcherLinks;
