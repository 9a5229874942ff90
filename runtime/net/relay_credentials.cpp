// The issuer's reply text, written and read strictly, and the game's request.
#include "runtime/net/relay_credentials.h"

#include <random>

namespace {

constexpr const char* kFirstLine = "flailwick-relay 1";
constexpr std::int64_t kAskAgainMillis = 1000;
constexpr std::int64_t kGiveUpMillis = 5000;
// Base64 of a 20-byte HMAC-SHA1.
constexpr std::size_t kPasswordLength = 28;

bool isAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A decimal of 1 to `digits` digits without a leading zero, or nothing.
std::optional<std::int64_t> readDecimal(std::string_view text, std::size_t digits) {
    if (text.empty() || text.size() > digits || (text.size() > 1 && text[0] == '0')) return {};
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return {};
        value = value * 10 + (c - '0');
    }
    return value;
}

bool validHost(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    for (char c : host) {
        if (!isAlnum(c) && c != '.' && c != '-' && c != ':') return false;
    }
    return true;
}

bool validPassword(std::string_view password) {
    if (password.size() != kPasswordLength || password.back() != '=') return false;
    for (std::size_t i = 0; i + 1 < password.size(); ++i) {
        const char c = password[i];
        if (!isAlnum(c) && c != '+' && c != '/') return false;
    }
    return true;
}

// Takes "key value\n" off the front of `text`; the value, or nothing.
std::optional<std::string_view> takeLine(std::string_view& text, std::string_view key) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return {};
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ' ') {
        return {};
    }
    return line.substr(key.size() + 1);
}

std::string randomReplyId() {
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device source;
    std::uniform_int_distribution<int> pick(0, 35);
    std::string id;
    for (int i = 0; i < 20; ++i)
        id += kDigits[pick(source)];
    return id;
}

}  // namespace

bool validReplyId(std::string_view id) {
    if (id.size() < 8 || id.size() > 32) return false;
    for (char c : id) {
        if (!isAlnum(c)) return false;
    }
    return true;
}

std::string writeRelayCredentials(const RelayCredentials& credentials) {
    return std::string(kFirstLine) + "\nhost " + credentials.host + "\nport " +
           std::to_string(credentials.port) + "\nusername " + credentials.username + "\npassword " +
           credentials.password + "\nexpiry " + std::to_string(credentials.expiry) + "\n";
}

std::optional<RelayCredentials> readRelayCredentials(std::string_view text) {
    if (text.size() > kMaxRelayReply) return {};
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd == std::string_view::npos || text.substr(0, firstEnd) != kFirstLine) return {};
    text.remove_prefix(firstEnd + 1);
    const auto host = takeLine(text, "host");
    const auto port = takeLine(text, "port");
    const auto username = takeLine(text, "username");
    const auto password = takeLine(text, "password");
    const auto expiry = takeLine(text, "expiry");
    if (!host || !port || !username || !password || !expiry || !text.empty()) return {};
    const auto portNumber = readDecimal(*port, 5);
    // Up to the year 2286 in 10 digits; more is no credential worth trusting.
    const auto expirySeconds = readDecimal(*expiry, 10);
    if (!validHost(*host) || !portNumber || *portNumber < 1 || *portNumber > 65535 ||
        !validPassword(*password) || !expirySeconds) {
        return {};
    }
    // The username is the expiry, a colon and the requester's id.
    const std::size_t colon = username->find(':');
    if (colon == std::string_view::npos || username->substr(0, colon) != *expiry ||
        !validReplyId(username->substr(colon + 1))) {
        return {};
    }
    RelayCredentials credentials;
    credentials.host = std::string(*host);
    credentials.port = static_cast<int>(*portNumber);
    credentials.username = std::string(*username);
    credentials.password = std::string(*password);
    credentials.expiry = *expirySeconds;
    return credentials;
}

RelayRequest::RelayRequest(Broker& broker) : broker_(broker) {
    replyId_ = broker.identity();
    // Brokers without a name for their client (the one in memory) take any id.
    if (!validReplyId(replyId_)) replyId_ = randomReplyId();
    replyTopic_ = kRelayReplyPrefix + replyId_;
    broker_.subscribe(replyTopic_);
}

RelayRequest::Status RelayRequest::poll(const std::vector<BrokerMessage>& arrived,
                                        std::int64_t nowMillis, std::int64_t unixSeconds) {
    if (status_ != Status::Waiting) return status_;
    for (const auto& message : arrived) {
        if (message.topic != replyTopic_) continue;
        const auto credentials = readRelayCredentials(message.payload);
        // A label not ours is a reply to someone else, sent here by mistake or malice.
        if (credentials && credentials->expiry > unixSeconds &&
            credentials->username.substr(credentials->username.find(':') + 1) == replyId_) {
            credentials_ = *credentials;
            status_ = Status::Ready;
            return status_;
        }
    }
    if (broker_.state() == BrokerState::Failed) {
        error_ = broker_.error();
        status_ = Status::Failed;
    } else if (broker_.state() == BrokerState::Connected) {
        if (firstAskMillis_ < 0) firstAskMillis_ = nowMillis;
        if (nowMillis - firstAskMillis_ > kGiveUpMillis) {
            error_ = "The lobby offers no relay: its credential issuer does not answer";
            status_ = Status::Failed;
        } else if (lastAskMillis_ < 0 || nowMillis - lastAskMillis_ >= kAskAgainMillis) {
            broker_.publish(kRelayRequestTopic, replyId_, false, 10);
            lastAskMillis_ = nowMillis;
        }
    }
    return status_;
}
