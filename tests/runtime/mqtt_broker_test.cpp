// The lobby's broker client against a real mosquitto on a free loopback port.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "runtime/net/broker.h"
#include "tests/support/temp_dir.h"

namespace {

// A loopback socket bound to a port of the system's choosing; listening or not.
struct LoopbackPort {
    int socket = -1;
    int port = 0;
    explicit LoopbackPort(bool listening) {
        socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        if (listening) ::listen(socket, 4);
    }
    ~LoopbackPort() { close(socket); }
};

bool pollUntil(const std::vector<Broker*>& brokers, std::vector<BrokerMessage>& arrived,
               const std::function<bool()>& done,
               std::chrono::seconds limit = std::chrono::seconds(15)) {
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < limit) {
        for (Broker* broker : brokers)
            broker->poll(arrived);
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool has(const std::vector<BrokerMessage>& arrived, const std::string& topic,
         const std::string& payload) {
    for (const auto& message : arrived) {
        if (message.topic == topic && message.payload == payload) return true;
    }
    return false;
}

class MqttBrokerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v mosquitto >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "no mosquitto here";
        }
        {
            LoopbackPort free(false);
            port = free.port;
        }
        const std::string config = dir.path() + "/mosquitto.conf";
        std::ofstream(config) << "listener " << port << " 127.0.0.1\nallow_anonymous "
                              << (anonymous() ? "true" : "false") << "\nlog_dest none\n";
        brokerPid = fork();
        if (brokerPid == 0) {
            execlp("mosquitto", "mosquitto", "-c", config.c_str(), nullptr);
            _exit(127);
        }
        // Up once a client of ours gets in.
        for (int attempt = 0; attempt < 150; ++attempt) {
            auto probe = connect();
            std::vector<BrokerMessage> ignored;
            pollUntil({probe.get()}, ignored,
                      [&] { return probe->state() != BrokerState::Connecting; });
            if (probe->error().find("does not answer") == std::string::npos) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        FAIL() << "mosquitto did not start on port " << port;
    }
    void TearDown() override { killBroker(); }
    virtual bool anonymous() const { return true; }

    void killBroker() {
        if (brokerPid > 0) {
            kill(brokerPid, SIGKILL);
            waitpid(brokerPid, nullptr, 0);
            brokerPid = -1;
        }
    }

    std::unique_ptr<Broker> connect(const std::string& host = "127.0.0.1",
                                    const BrokerWill& will = {}) {
        std::string error;
        auto broker = connectBroker(host, port, will, error);
        EXPECT_NE(broker, nullptr) << error;
        return broker;
    }

    TempDir dir;
    int port = 0;
    pid_t brokerPid = -1;
};

TEST_F(MqttBrokerTest, DeliversToExactSubscribersAndKeepsRetainedMessagesForLaterOnes) {
    auto sender = connect();
    auto receiver = connect("localhost");  // looked up, and more than one address to try
    receiver->subscribe("flailwick/room/r1/offer");
    receiver->subscribe("flailwick/room/+/offer");  // refused: exact topics only
    // Asked while still connecting: sent once connected.
    sender->publish("flailwick/room/r1/presence", "here", true, 0);
    std::vector<BrokerMessage> arrived;
    ASSERT_TRUE(pollUntil({sender.get(), receiver.get()}, arrived, [&] {
        return sender->state() == BrokerState::Connected &&
               receiver->state() == BrokerState::Connected;
    })) << receiver->error();
    EXPECT_FALSE(sender->identity().empty());
    EXPECT_NE(sender->identity(), receiver->identity());
    // The subscription's answer is not seen: the offer goes until it arrives.
    int sent = 0;
    ASSERT_TRUE(pollUntil({sender.get(), receiver.get()}, arrived, [&] {
        if (sent++ % 50 == 0) sender->publish("flailwick/room/r1/offer", "sealed", false, 0);
        return has(arrived, "flailwick/room/r1/offer", "sealed");
    }));
    sender->publish("flailwick/room/r2/offer", "elsewhere", false, 0);

    auto later = connect();
    later->subscribe("flailwick/room/r1/presence");
    std::vector<BrokerMessage> kept;
    ASSERT_TRUE(pollUntil({later.get()}, kept,
                          [&] { return has(kept, "flailwick/room/r1/presence", "here"); }));
    for (const auto& message : arrived)
        EXPECT_EQ(message.topic, "flailwick/room/r1/offer");
}

TEST_F(MqttBrokerTest, SaysTheLobbyDoesNotAnswerWhenNobodyListensOrNobodySpeaks) {
    LoopbackPort closed(false);
    LoopbackPort mute(true);  // takes the connection, never answers it
    std::string error;
    auto refused = connectBroker("127.0.0.1", closed.port, {}, error);
    auto unanswered = connectBroker("127.0.0.1", mute.port, {}, error);
    std::vector<BrokerMessage> arrived;
    // The lobby's bound is 3 s; libmosquitto's own keepalive would end it at 10 s.
    ASSERT_TRUE(pollUntil(
        {refused.get(), unanswered.get()}, arrived,
        [&] {
            return refused->state() == BrokerState::Failed &&
                   unanswered->state() == BrokerState::Failed;
        },
        std::chrono::seconds(8)));
    EXPECT_EQ(refused->error(),
              "The lobby at 127.0.0.1:" + std::to_string(closed.port) + " does not answer");
    EXPECT_EQ(unanswered->error(),
              "The lobby at 127.0.0.1:" + std::to_string(mute.port) + " does not answer");
    EXPECT_EQ(connectBroker("127.0.0.1", 0, {}, error), nullptr);
    EXPECT_FALSE(error.empty());
}

class ClosedMqttBrokerTest : public MqttBrokerTest {
    bool anonymous() const override { return false; }
};

TEST_F(ClosedMqttBrokerTest, SaysTheLobbyLetsNoPlayersIn) {
    auto client = connect();
    std::vector<BrokerMessage> arrived;
    ASSERT_TRUE(
        pollUntil({client.get()}, arrived, [&] { return client->state() == BrokerState::Failed; }));
    EXPECT_EQ(client->error(),
              "The lobby at 127.0.0.1:" + std::to_string(port) + " does not let players in");
}

TEST_F(MqttBrokerTest, FailsWhenTheBrokerIsKilled) {
    auto client = connect();
    std::vector<BrokerMessage> arrived;
    ASSERT_TRUE(pollUntil({client.get()}, arrived,
                          [&] { return client->state() == BrokerState::Connected; }));
    killBroker();
    ASSERT_TRUE(
        pollUntil({client.get()}, arrived, [&] { return client->state() == BrokerState::Failed; }));
    EXPECT_EQ(client->error(),
              "The lobby at 127.0.0.1:" + std::to_string(port) + " closed the connection");
}

}  // namespace
