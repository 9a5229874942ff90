// libFuzzer harness for everything the other side can send: the bytes are
// cut into datagrams that reach an online session, host or joiner, through
// the peer protocol, during the handshake and the series. Whatever arrives,
// every reader stays in bounds and the session's arithmetic defined.
// tools/fuzz.sh builds and runs it.
#include <cstdint>
#include <string>
#include <vector>

#include "netplay/messages.h"
#include "netplay/session.h"
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

class CountedGame : public SteppedGame {
  public:
    void save(int slot) override { kept_[static_cast<std::size_t>(slot)] = frames_; }
    void load(int slot) override { frames_ = kept_[static_cast<std::size_t>(slot)]; }
    void advance(FrameKeys one, FrameKeys two, bool) override {
        frames_ = frames_ * 31 + one + two;
    }
    std::uint64_t hash() override { return frames_; }
    StateParts parts() override { return {frames_}; }

  private:
    std::uint64_t frames_ = 0;
    std::uint64_t kept_[kSnapshotSlots] = {};
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
    bool running = false;
    int now = 0;
    // Each datagram: a length byte, then that many bytes; one display frame each.
    for (std::size_t at = 1; at < size;) {
        const std::size_t length = data[at++];
        const std::size_t n = length < size - at ? length : size - at;
        link.inbox.emplace_back(reinterpret_cast<const char*>(data + at), n);
        at += n;
        now += 17;
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
    return 0;
}
