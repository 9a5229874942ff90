// ICE agents in one process on loopback: they connect, carry datagrams,
// refuse descriptions that are not one and give up on a vanished peer.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "runtime/net/ice_link.h"

namespace {

// libnice leaves loopback out of its own choice of addresses.
std::unique_ptr<IceAgent> loopbackAgent(bool controlling, int checkMillis = kIceCheckMillis) {
    IceOptions options;
    options.localAddresses = {"127.0.0.1"};
    options.checkMillis = checkMillis;
    std::string error;
    auto agent = IceAgent::start(controlling, RelayServer{}, error, options);
    EXPECT_NE(agent, nullptr) << error;
    return agent;
}

// Pumps the agents until `done`, within a bound far beyond any real wait.
bool pumpUntil(std::vector<IceAgent*> agents, const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        for (IceAgent* agent : agents)
            agent->pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool settled(const IceAgent& agent) {
    return agent.path() != IcePath::Gathering && agent.path() != IcePath::Checking;
}

}  // namespace

TEST(IceLink, TwoAgentsOnLoopbackConnectDirectlyAndCarryDatagramsBothWays) {
    auto a = loopbackAgent(true);
    auto b = loopbackAgent(false);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(pumpUntil({a.get(), b.get()}, [&] { return a->gathered() && b->gathered(); }));
    ASSERT_TRUE(a->setRemoteDescription(b->localDescription()));
    ASSERT_TRUE(b->setRemoteDescription(a->localDescription()));
    ASSERT_TRUE(pumpUntil({a.get(), b.get()}, [&] { return settled(*a) && settled(*b); }));
    EXPECT_EQ(a->path(), IcePath::Direct) << a->error();
    EXPECT_EQ(b->path(), IcePath::Direct) << b->error();
    EXPECT_NE(a->pairText().find("127.0.0.1"), std::string::npos);

    // Oversize datagrams never leave; the rest arrive whole, both ways.
    const std::string tooLong(kMaxDatagram + 1, 'x');
    for (auto [from, to] : {std::pair{a.get(), b.get()}, std::pair{b.get(), a.get()}}) {
        std::vector<std::string> got;
        const std::string largest(kMaxDatagram, 'y');
        ASSERT_TRUE(pumpUntil({}, [&] {
            from->send(tooLong);
            from->send("keys");
            from->send(largest);
            EXPECT_TRUE(to->receive(got));
            return got.size() >= 4;
        }));
        for (const std::string& datagram : got)
            EXPECT_TRUE(datagram == "keys" || datagram == largest);
    }
}

TEST(IceLink, RefusesWhatIsNotADescriptionAndStillTakesTheRealOne) {
    auto a = loopbackAgent(true);
    auto b = loopbackAgent(false);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(pumpUntil({a.get(), b.get()}, [&] { return a->gathered() && b->gathered(); }));
    const std::string real = b->localDescription();
    ASSERT_LT(real.size(), kMaxIceDescription);

    std::string noCandidates;
    for (std::size_t at = 0; at < real.size();) {
        const std::size_t end = real.find('\n', at) + 1;
        if (real.compare(at, 12, "a=candidate:") != 0) noCandidates += real.substr(at, end - at);
        at = end == 0 ? real.size() : end;
    }
    std::string binary = real;
    binary[binary.size() / 2] = '\0';
    std::string padded = real + std::string(kMaxIceDescription, '\n');
    for (const std::string& bad :
         {std::string(), std::string("garbage"), std::string(5000, 'a'), noCandidates, binary,
          padded,
          std::string("a=candidate:1 1 UDP 99999999999999999999 999.1.1.1 99999 typ host\n")}) {
        EXPECT_FALSE(a->setRemoteDescription(bad)) << bad;
    }
    // Every cut of the real one is read without harm; one that still holds
    // an address may be taken, so each goes to a fresh agent.
    for (std::size_t cut = 0; cut < real.size(); cut += 7) {
        auto fresh = loopbackAgent(true);
        ASSERT_TRUE(fresh);
        fresh->setRemoteDescription(real.substr(0, cut));
    }
    EXPECT_TRUE(a->setRemoteDescription(real));
    EXPECT_FALSE(a->setRemoteDescription(real));
}

TEST(IceLink, GivesUpWithAReasonWhenThePeerVanishesDuringTheChecks) {
    auto a = loopbackAgent(true, 1500);
    auto b = loopbackAgent(false);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(pumpUntil({a.get(), b.get()}, [&] { return a->gathered() && b->gathered(); }));
    ASSERT_TRUE(a->setRemoteDescription(b->localDescription()));
    b.reset();
    ASSERT_TRUE(pumpUntil({a.get()}, [&] { return settled(*a); }));
    EXPECT_EQ(a->path(), IcePath::Failed);
    EXPECT_NE(a->error().find("No path to the other player"), std::string::npos) << a->error();
    std::vector<std::string> got;
    EXPECT_FALSE(a->receive(got));
}
