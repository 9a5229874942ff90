// A router that speaks NAT-PMP, made here on the loopback address: the host
// asks it for the port, shows what it answers, and takes the mapping away.
#include "runtime/net/port_mapping.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <thread>
#include <vector>

namespace {

struct Request {
    int op;
    int privatePort, publicPort;
    unsigned lifetime;
};

class FakeRouter {
  public:
    explicit FakeRouter(bool answers) : answers_(answers) {
        socket_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(5351);
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        timeval wait{0, 100000};
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        bound_ = bind(socket_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
        if (bound_) thread_ = std::thread([this] { serve(); });
    }
    ~FakeRouter() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        close(socket_);
    }
    bool bound() const { return bound_; }
    std::vector<Request> requests;  // read once the router has stopped

    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

  private:
    void serve() {
        while (!stop_) {
            std::array<unsigned char, 64> in{};
            sockaddr_in from{};
            socklen_t size = sizeof from;
            const ssize_t n = recvfrom(socket_, in.data(), in.size(), 0,
                                       reinterpret_cast<sockaddr*>(&from), &size);
            if (n < 2) continue;
            const int op = in[1];
            std::array<unsigned char, 16> out{};
            out[1] = static_cast<unsigned char>(128 + op);
            if (op == 0 && n == 2) {
                requests.push_back({0, 0, 0, 0});
                const unsigned char ip[4] = {203, 0, 113, 7};
                std::copy(ip, ip + 4, out.begin() + 8);
                if (answers_) reply(out.data(), 12, from);
            } else if (op == 1 && n == 12) {
                const int priv = in[4] << 8 | in[5];
                const int pub = in[6] << 8 | in[7];
                const unsigned life = unsigned(in[8]) << 24 | in[9] << 16 | in[10] << 8 | in[11];
                requests.push_back({1, priv, pub, life});
                // The router gives the port it likes, not the one asked for.
                const int given = life == 0 ? 0 : 40123;
                std::copy(in.begin() + 4, in.begin() + 6, out.begin() + 8);
                out[10] = static_cast<unsigned char>(given >> 8);
                out[11] = static_cast<unsigned char>(given & 0xff);
                std::copy(in.begin() + 8, in.begin() + 12, out.begin() + 12);
                if (answers_) reply(out.data(), 16, from);
            }
        }
    }
    void reply(const unsigned char* data, int size, const sockaddr_in& to) {
        sendto(socket_, data, static_cast<std::size_t>(size), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

    bool answers_;
    int socket_ = -1;
    bool bound_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

PortMapping::State settled(const PortMapping& mapping) {
    for (int i = 0; i < 500 && mapping.state() == PortMapping::State::Asking; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return mapping.state();
}

TEST(PortMapping, TakesTheRoutersAnswerAndRemovesTheMappingOnLeaving) {
    FakeRouter router(true);
    if (!router.bound()) GTEST_SKIP() << "the NAT-PMP port is taken on the loopback address";
    {
        PortMapping mapping(27960, {"127.0.0.1", false});
        ASSERT_EQ(settled(mapping), PortMapping::State::Mapped);
        EXPECT_EQ(mapping.publicAddress(), "203.0.113.7:40123");
        EXPECT_EQ(mapping.how(), "NAT-PMP");
    }
    router.stop();
    ASSERT_EQ(router.requests.size(), 3u);
    EXPECT_EQ(router.requests[1].privatePort, 27960);
    EXPECT_EQ(router.requests[1].publicPort, 27960);
    EXPECT_GT(router.requests[1].lifetime, 0u);
    // Taken away: the same private port, lifetime 0.
    EXPECT_EQ(router.requests[2].op, 1);
    EXPECT_EQ(router.requests[2].privatePort, 27960);
    EXPECT_EQ(router.requests[2].lifetime, 0u);
}

TEST(PortMapping, ARouterThatNeverAnswersFailsAndLeavesNothingToRemove) {
    FakeRouter router(false);
    if (!router.bound()) GTEST_SKIP() << "the NAT-PMP port is taken on the loopback address";
    {
        PortMapping mapping(27960, {"127.0.0.1", false});
        EXPECT_EQ(settled(mapping), PortMapping::State::Failed);
        EXPECT_EQ(mapping.publicAddress(), "");
    }
    router.stop();
    for (const Request& r : router.requests)
        EXPECT_EQ(r.op, 0);
}

}  // namespace
