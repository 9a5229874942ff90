// libFuzzer harness for everything the other side can send: the bytes are
// cut into datagrams that reach an online session, host or joiner, through
// the peer protocol, during the handshake and the series; and a watcher's
// session and the host's feed of watchers, from the other end. Whatever arrives,
// every reader stays in bounds and the session's arithmetic defined.
// tools/fuzz.sh builds and runs it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/counted_game.h"
#include "netplay/messages.h"
#include "netplay/session.h"
#include "netplay/watch_session.h"
#include "netplay/watchers.h"
#include "runtime/net/link.h"

namespace {

class ScriptedLink : public NetLink {
  public:
    std::vector<std::string> inbox;
    void send(const std::string&) override {}
    bool receive(std::vector<std::string>& datagrams) override {
        datagrams.insert(datagrams.end(), inbox.begin(), inbox.end());
        inbox.clear();
        return true;
    }
};

// The feed's end of the harness's link: the feed may let it go at any time.
class Borrowed : public NetLink {
  public:
    explicit Borrowed(NetLink& link) : link_(link) {}
    void send(const std::string& datagram) override { link_.send(datagram); }
    bool receive(std::vector<std::string>& datagrams) override { return link_.receive(datagrams); }

  private:
    NetLink& link_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool host = (data[0] & 1) != 0;
    ScriptedLink link;
    OnlineSession session(link, host);
    session.offer(SeriesStart{}, "");
    session.checkOffer = [](const SeriesStart&) { return std::string(); };
    CountedGame game;
    ScriptedLink watcherLink;
    WatchSession watcher(watcherLink);
    WatcherFeed feed;
    feed.offer(SeriesStart{});
    ScriptedLink feedLink;
    feed.add(std::make_unique<Borrowed>(feedLink), 0);
    bool running = false;
    int now = 0;
    // Each datagram: a length byte, then that many bytes; one display frame each.
    for (std::size_t at = 1; at < size;) {
        const std::size_t length = data[at++];
        const std::size_t n = length < size - at ? length : size - at;
        link.inbox.emplace_back(reinterpret_cast<const char*>(data + at), n);
        watcherLink.inbox.push_back(link.inbox.back());
        feedLink.inbox.push_back(link.inbox.back());
        at += n;
        now += 17;
        watcher.handshake(now);
        feed.take(now / 17, [](int side, int f) { return static_cast<FrameKeys>(side + f); });
        feed.poll(now);
        if (!running) {
            if (session.handshake(now) || session.heardFromPeer()) {
                session.begin(game, 2);
                running = true;
            }
        } else {
            session.frame(now, static_cast<std::uint8_t>(now), (now & 64) != 0);
        }
    }
    // And every message reader on the bytes as they are.
    const std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
    Versions v;
    SeriesStart s;
    Refusal r;
    PauseRequest p;
    int frame = 0;
    StateParts parts{};
    readHello(all, v);
    readWelcome(all, v, s);
    readRefused(all, r);
    readPause(all, p);
    readParts(all, frame, parts);
    FeedFrames frames;
    FeedEnd end;
    readWatch(all, v);
    readFrames(all, frames);
    readEnded(all, end);
    return 0;
}
