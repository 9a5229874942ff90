#include "runtime/net/relay_credentials.h"

#include <gtest/gtest.h>

namespace {

RelayCredentials sample() {
    RelayCredentials credentials;
    credentials.host = "203.0.113.7";
    credentials.port = 3478;
    credentials.expiry = 1900000000;
    credentials.username = "1900000000:fwabcdefgh12";
    credentials.password = "c2VjcmV0c2VjcmV0c2VjcmV0c2U=";
    return credentials;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(RelayCredentials, ReadsWhatTheIssuerWritesAndRefusesAnythingElse) {
    const std::string good = writeRelayCredentials(sample());
    const auto read = readRelayCredentials(good);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->host, "203.0.113.7");
    EXPECT_EQ(read->port, 3478);
    EXPECT_EQ(read->username, "1900000000:fwabcdefgh12");
    EXPECT_EQ(read->password, "c2VjcmV0c2VjcmV0c2VjcmV0c2U=");
    EXPECT_EQ(read->expiry, 1900000000);
    RelayCredentials v6 = sample();
    v6.host = "2001:db8::7";
    EXPECT_TRUE(readRelayCredentials(writeRelayCredentials(v6)).has_value());

    const std::vector<std::string> bad = {
        "",
        good.substr(0, good.size() - 1),
        good + "extra 1\n",
        replaced(good, "flailwick-relay 1", "flailwick-relay 2"),
        replaced(good, "\nport", "\r\nport"),
        replaced(good, "port 3478", "port 0"),
        replaced(good, "port 3478", "port 65536"),
        replaced(good, "port 3478", "port 03478"),
        replaced(good, "port 3478", "port -3478"),
        replaced(good, "port 3478", "port  3478"),
        replaced(good, "host 203.0.113.7", "host 203.0.113.7/24"),
        replaced(good, "host 203.0.113.7", "host "),
        replaced(good, "host 203.0.113.7", "host " + std::string(254, 'a')),
        replaced(good, "c2VjcmV0c2VjcmV0c2VjcmV0c2U=", "c2VjcmV0c2VjcmV0c2VjcmV0c2"),
        replaced(good, "c2VjcmV0c2VjcmV0c2VjcmV0c2U=", "c2VjcmV0c2VjcmV0c2VjcmV0c2U*"),
        replaced(good, "c2VjcmV0c2VjcmV0c2VjcmV0c2U=", "c2VjcmV0c2Vj cmV0c2VjcmV0c2U"),
        replaced(good, "username 1900000000:", "username 1900000001:"),
        replaced(good, ":fwabcdefgh12", ":fw/abcdefgh"),
        replaced(good, ":fwabcdefgh12", ":fw"),
        replaced(good, "expiry 1900000000", "expiry 99999999999"),
        replaced(replaced(good, "host 203.0.113.7\n", ""), "port 3478\n",
                 "port 3478\nhost 203.0.113.7\n"),
        replaced(good, "host 203.0.113.7", "host " + std::string(250, 'a')) +
            std::string(300, '\n'),
    };
    for (const auto& text : bad) {
        EXPECT_FALSE(readRelayCredentials(text).has_value()) << text;
    }
}

// A broker whose state the test sets, keeping what the request sends.
class ScriptedBroker : public Broker {
  public:
    BrokerState state() const override { return state_; }
    const std::string& error() const override { return error_; }
    void subscribe(const std::string& topic) override { subscribed.push_back(topic); }
    void publish(const std::string& topic, const std::string& payload, bool, int) override {
        published.push_back({topic, payload});
    }
    void poll(std::vector<BrokerMessage>&) override {}
    std::string identity() const override { return "fwabcdefgh12"; }

    BrokerState state_ = BrokerState::Connecting;
    std::string error_;
    std::vector<std::string> subscribed;
    std::vector<BrokerMessage> published;
};

TEST(RelayRequest, AsksOnceConnectedAgainEachSecondAndTakesOnlyItsOwnFreshReply) {
    ScriptedBroker broker;
    RelayRequest request(broker);
    ASSERT_EQ(broker.subscribed, std::vector<std::string>{"flailwick/turn/reply/fwabcdefgh12"});
    const std::int64_t now = 1800000000;
    EXPECT_EQ(request.poll({}, 0, now), RelayRequest::Status::Waiting);
    EXPECT_TRUE(broker.published.empty());
    broker.state_ = BrokerState::Connected;
    request.poll({}, 10, now);
    request.poll({}, 500, now);
    request.poll({}, 1010, now);
    ASSERT_EQ(broker.published.size(), 2u);
    EXPECT_EQ(broker.published[0].topic, "flailwick/turn/request");
    EXPECT_EQ(broker.published[0].payload, "fwabcdefgh12");

    RelayCredentials others = sample();
    others.username = "1900000000:fwsomebodyelse";
    RelayCredentials expired = sample();
    expired.expiry = now;
    expired.username = std::to_string(now) + ":fwabcdefgh12";
    const std::string topic = "flailwick/turn/reply/fwabcdefgh12";
    std::vector<BrokerMessage> arrived = {
        {topic, writeRelayCredentials(others)},
        {topic, writeRelayCredentials(expired)},
        {"flailwick/turn/reply/x", writeRelayCredentials(sample())},
        {topic, "garbage"}};
    EXPECT_EQ(request.poll(arrived, 1500, now), RelayRequest::Status::Waiting);
    arrived.push_back({topic, writeRelayCredentials(sample())});
    EXPECT_EQ(request.poll(arrived, 1600, now), RelayRequest::Status::Ready);
    EXPECT_EQ(request.credentials().username, sample().username);
}

TEST(RelayRequest, FailsWhenNobodyAnswersOrTheBrokerFails) {
    ScriptedBroker silent;
    silent.state_ = BrokerState::Connected;
    RelayRequest unanswered(silent);
    std::int64_t millis = 0;
    while (unanswered.poll({}, millis, 0) == RelayRequest::Status::Waiting && millis < 60000) {
        millis += 16;
    }
    EXPECT_EQ(unanswered.poll({}, millis, 0), RelayRequest::Status::Failed);
    EXPECT_NE(unanswered.error().find("offers no relay"), std::string::npos);

    ScriptedBroker failing;
    RelayRequest cut(failing);
    failing.state_ = BrokerState::Failed;
    failing.error_ = "The lobby at 203.0.113.7:1883 closed the connection";
    EXPECT_EQ(cut.poll({}, 0, 0), RelayRequest::Status::Failed);
    EXPECT_EQ(cut.error(), failing.error_);
}

}  // namespace
