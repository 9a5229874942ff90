// The relay's time-limited credentials as the lobby's issuer hands them out
// (the TURN REST scheme: the relay checks them against a secret only it and
// the issuer know), the text they travel in, and the request a game makes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/net/broker.h"

// Where requests go; replies go to the reply prefix followed by the
// requester's reply id, which the lobby lets only that client read.
constexpr const char* kRelayRequestTopic = "flailwick/turn/request";
constexpr const char* kRelayReplyPrefix = "flailwick/turn/reply/";
// A reply longer than this is refused unread.
constexpr std::size_t kMaxRelayReply = 512;

struct RelayCredentials {
    std::string host;  // numeric address or name, as the lobby's operator gave it
    int port = 0;
    std::string username;     // "<expiry>:<label>"
    std::string password;     // base64 of HMAC-SHA1(secret, username)
    std::int64_t expiry = 0;  // Unix seconds after which the relay refuses them
};

// Reply ids are 8 to 32 letters and digits: safe in a topic and in a username.
bool validReplyId(std::string_view id);
// The reply's text: a first line "flailwick-relay 1", then "host H", "port N",
// "username U", "password P" and "expiry N", each ended by a newline.
std::string writeRelayCredentials(const RelayCredentials& credentials);
// Nothing when the text is not exactly that, or anything in it is out of range.
std::optional<RelayCredentials> readRelayCredentials(std::string_view text);

// Asks the lobby for credentials once its broker is connected, again each
// second, and gives up after a few seconds without an answer.
class RelayRequest {
  public:
    enum class Status { Waiting, Ready, Failed };

    // Subscribes to this client's reply topic at once.
    explicit RelayRequest(Broker& broker);
    // This frame's messages from the broker; nowMillis on any steady clock,
    // unixSeconds the wall clock, to refuse credentials already expired.
    Status poll(const std::vector<BrokerMessage>& arrived, std::int64_t nowMillis,
                std::int64_t unixSeconds);
    const RelayCredentials& credentials() const { return credentials_; }
    // Why it failed, in words for the player.
    const std::string& error() const { return error_; }

  private:
    Broker& broker_;
    std::string replyId_;
    std::string replyTopic_;
    Status status_ = Status::Waiting;
    std::int64_t firstAskMillis_ = -1;
    std::int64_t lastAskMillis_ = -1;
    RelayCredentials credentials_;
    std::string error_;
};
