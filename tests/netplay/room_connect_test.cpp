// Meeting through a room on a lobby in memory, with real ICE agents on
// loopback: the two find their path and talk over it; a second player finds
// the room full; a host that vanishes during the checks leaves the guest a
// clear failure.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "netplay/room_code.h"
#include "netplay/room_connect.h"
#include "runtime/net/memory_broker.h"

namespace {

const std::string kCode = "K7QF-M2XD";

const CodeKeys& roomKeys() {
    static const CodeKeys keys = deriveCodeKeys(kCode);
    return keys;
}

// libnice leaves loopback out of its own choice of addresses.
IceStarter loopbackStarter(int checkMillis) {
    return [checkMillis](bool controlling, const RelayServer& relay, std::string& error) {
        IceOptions options;
        options.localAddresses = {"127.0.0.1"};
        options.checkMillis = checkMillis;
        return IceAgent::start(controlling, relay, error, options);
    };
}

class Meetings : public ::testing::Test {
  protected:
    int now = 0;
    MemoryBrokerHub hub{[this] { return now; }};
    WallClock wall = [this] { return std::int64_t{1'800'000'000} + now / 1000; };

    std::unique_ptr<HostMeeting> host(int checkMillis = kIceCheckMillis) {
        return std::make_unique<HostMeeting>(hub.connect(roomWill(roomKeys())), kCode, roomKeys(),
                                             loopbackStarter(checkMillis), wall);
    }
    std::unique_ptr<GuestMeeting> guest(const std::string& code = kCode,
                                        int checkMillis = kIceCheckMillis) {
        return std::make_unique<GuestMeeting>(hub.connect({}), code, deriveCodeKeys(code),
                                              RoomRole::Player, loopbackStarter(checkMillis), wall);
    }
    // A frame's worth of lobby time per round, and real time for the agents'
    // datagrams; false if `done` never came.
    bool run(const std::vector<std::function<void()>>& polls, const std::function<bool()>& done) {
        for (int round = 0; round < 20000; ++round) {
            if (done()) return true;
            now += 16;
            for (const auto& poll : polls)
                poll();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return done();
    }
};

TEST_F(Meetings, HostAndGuestFindTheirPathAndASecondPlayerFindsTheRoomFull) {
    auto h = host();
    auto g = guest();
    ASSERT_TRUE(run(
        {[&] { h->poll(now); }, [&] { g->poll(now); }},
        [&] { return h->stage() == MeetStage::Connected && g->stage() == MeetStage::Connected; }))
        << h->failure() << " / " << g->failure();
    std::unique_ptr<IceAgent> hostLink = h->takePlayer();
    std::unique_ptr<IceAgent> guestLink = g->takeLink();
    EXPECT_EQ(hostLink->path(), IcePath::Direct);
    hostLink->send("keys");
    std::vector<std::string> got;
    ASSERT_TRUE(run({[&] { guestLink->receive(got); }}, [&] { return !got.empty(); }));
    EXPECT_EQ(got.front(), "keys");

    // The room stays open for watchers, but its player's seat is taken.
    auto late = guest();
    ASSERT_TRUE(run({[&] { h->poll(now); }, [&] { late->poll(now); }},
                    [&] { return late->stage() == MeetStage::Failed; }));
    EXPECT_NE(late->failure().find("full"), std::string::npos) << late->failure();
}

TEST_F(Meetings, AWrongCodeIsToldThereIsNoSuchRoom) {
    auto h = host();
    auto g = guest("K7QF-M2XE");
    ASSERT_TRUE(run({[&] { h->poll(now); }, [&] { g->poll(now); }},
                    [&] { return g->stage() == MeetStage::Failed; }));
    EXPECT_EQ(g->failure(), "No room has the code K7QF-M2XE");
    EXPECT_EQ(h->stage(), MeetStage::Waiting);
}

TEST_F(Meetings, AHostThatVanishesDuringTheChecksLeavesTheGuestAClearFailure) {
    auto h = host();
    auto g = guest(kCode, 1500);
    // The host answers, then is gone before a check can reach it.
    ASSERT_TRUE(run({[&] { h->poll(now); }, [&] { g->poll(now); }},
                    [&] { return g->stage() == MeetStage::Finding; }));
    h.reset();
    ASSERT_TRUE(run({[&] { g->poll(now); }}, [&] { return g->stage() == MeetStage::Failed; }));
    EXPECT_EQ(g->failure().rfind("No path to the other player was found", 0), 0u) << g->failure();
}

}  // namespace
