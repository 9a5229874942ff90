// Two UDP links on the loopback address: datagrams both ways, the host
// answering only the player who reached it first, and a port already taken.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "runtime/net/link.h"

namespace {

// A free port near the default one; tests may run side by side.
std::unique_ptr<NetLink> hostSomewhere(int& port) {
    std::string error;
    for (port = kDefaultPort + 100; port < kDefaultPort + 140; ++port) {
        if (auto link = hostOnPort(port, error)) return link;
    }
    return nullptr;
}

// Reads both ends until `done` holds, for at most two seconds.
template <typename Done>
bool readUntil(NetLink& a, NetLink& b, std::vector<std::string>& atA, std::vector<std::string>& atB,
               Done done) {
    for (int i = 0; i < 200 && !done(); ++i) {
        a.receive(atA);
        b.receive(atB);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

TEST(UdpLink, TheHostAnswersTheFirstPlayerOnlyAndAPortTakenIsSaidSo) {
    int port = 0;
    auto host = hostSomewhere(port);
    ASSERT_NE(host, nullptr);
    std::string error;
    auto joiner = joinAt("127.0.0.1", port, error);
    auto stranger = joinAt("localhost", port, error);
    ASSERT_NE(joiner, nullptr) << error;
    ASSERT_NE(stranger, nullptr) << error;

    joiner->send("hello");
    std::vector<std::string> atHost, atJoiner, atStranger;
    ASSERT_TRUE(readUntil(*host, *joiner, atHost, atJoiner, [&] { return atHost.size() == 1; }));
    stranger->send("me too");
    host->send("welcome");
    host->send(std::string(kMaxDatagram + 1, 'x'));  // too large: never sent
    EXPECT_TRUE(readUntil(*host, *joiner, atHost, atJoiner, [&] { return !atJoiner.empty(); }));
    stranger->receive(atStranger);
    EXPECT_EQ(atHost, std::vector<std::string>{"hello"});
    EXPECT_EQ(atJoiner, std::vector<std::string>{"welcome"});
    EXPECT_TRUE(atStranger.empty());

    EXPECT_EQ(hostOnPort(port, error), nullptr);
    EXPECT_NE(error.find("cannot be had"), std::string::npos) << error;
    EXPECT_EQ(joinAt("no-such-machine.invalid", port, error), nullptr);
    EXPECT_NE(error.find("no machine called"), std::string::npos) << error;
}

}  // namespace
