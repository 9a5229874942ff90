// Two links on the loopback address: messages both ways, a side that leaves,
// and a host nobody runs.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "runtime/net/link.h"

namespace {

// A free port near the default one; tests may run side by side.
std::unique_ptr<Listener> listenSomewhere(int& port) {
    std::string error;
    for (port = kDefaultPort + 100; port < kDefaultPort + 140; ++port) {
        if (auto listener = listenForPlayer(port, error)) return listener;
    }
    return nullptr;
}

// Services both ends until `done` holds, for at most two seconds.
template <typename Done>
bool serviceUntil(NetLink& a, NetLink& b, std::vector<std::string>& atA,
                  std::vector<std::string>& atB, Done done) {
    for (int i = 0; i < 200 && !done(); ++i) {
        a.receive(atA);
        b.receive(atB);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

TEST(NetLink, TwoPlayersOnLoopbackExchangeMessagesUntilOneLeaves) {
    int port = 0;
    auto listener = listenSomewhere(port);
    ASSERT_NE(listener, nullptr);
    std::unique_ptr<NetLink> host;
    std::unique_ptr<NetLink> joiner;
    std::thread join([&] {
        std::string error;
        joiner = connectToPlayer("127.0.0.1", port, 2000, error);
    });
    for (int i = 0; i < 100 && !host; ++i)
        host = listener->poll(20);
    join.join();
    ASSERT_NE(host, nullptr);
    ASSERT_NE(joiner, nullptr);

    host->send("hello, reliably", true);
    host->send("keys, maybe", false);
    joiner->send("back", true);
    std::vector<std::string> atHost, atJoiner;
    EXPECT_TRUE(serviceUntil(*host, *joiner, atHost, atJoiner,
                             [&] { return atJoiner.size() == 2 && atHost.size() == 1; }));
    EXPECT_EQ(atJoiner.front(), "hello, reliably");
    EXPECT_EQ(atHost.front(), "back");
    EXPECT_LT(host->silentMillis(), 1000);

    joiner.reset();  // leaves: the host hears of it
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        gone = !host->receive(atHost);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone);
}

TEST(NetLink, NobodyAtThePortAndAPortTakenAreSaidSo) {
    int port = 0;
    auto listener = listenSomewhere(port);
    ASSERT_NE(listener, nullptr);
    std::string error;
    EXPECT_EQ(listenForPlayer(port, error), nullptr);
    EXPECT_NE(error.find("cannot be had"), std::string::npos) << error;
    EXPECT_EQ(connectToPlayer("127.0.0.1", port + 41, 300, error), nullptr);
    EXPECT_NE(error.find("no game answered"), std::string::npos) << error;
}

}  // namespace
