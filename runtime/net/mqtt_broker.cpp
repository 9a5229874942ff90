// The lobby's broker over MQTT 5 (libmosquitto), driven from the game's own
// frames: no thread of ours, and the socket is only read or written once
// poll(2) says it is ready, so a frame never waits on the network.
#include <arpa/inet.h>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netdb.h>
#include <poll.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <set>

#include "runtime/net/broker.h"

namespace {

// Without an answer to CONNECT for this long, the lobby is taken not to be there.
constexpr std::int64_t kAnswerMillis = 3000;
// PINGREQ's period; a broker silent for one and a half of it is gone.
constexpr int kKeepAliveSeconds = 10;
// Larger messages are dropped as they arrive; rooms send far less.
constexpr int kMaxPayload = 16 * 1024;
// What may wait for the connection, and the topics one client follows;
// more would be a room gone wrong.
constexpr std::size_t kMaxQueued = 64;
constexpr int kQos = 1;

std::int64_t nowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::once_flag libraryStarted;

std::string randomIdentity() {
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device source;
    std::uniform_int_distribution<int> pick(0, 35);
    // 20 characters: within MQTT 3's 23, and 103 bits nobody guesses.
    std::string id = "fw";
    for (int i = 0; i < 20; ++i)
        id += kDigits[pick(source)];
    return id;
}

bool exactTopic(const std::string& topic) {
    return !topic.empty() && topic.size() < 1024 &&
           topic.find_first_of("+#") == std::string::npos &&
           mosquitto_validate_utf8(topic.data(), static_cast<int>(topic.size())) ==
               MOSQ_ERR_SUCCESS;
}

std::string refusal(const std::string& where, int reason) {
    switch (reason) {
        case MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION:
            return "The lobby at " + where + " runs a broker that does not speak MQTT 5";
        case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
        case MQTT_RC_NOT_AUTHORIZED:
        case MQTT_RC_BANNED:
        case MQTT_RC_BAD_AUTHENTICATION_METHOD:
            return "The lobby at " + where + " does not let players in";
        case MQTT_RC_SERVER_UNAVAILABLE:
        case MQTT_RC_SERVER_BUSY:
        case MQTT_RC_QUOTA_EXCEEDED:
        case MQTT_RC_CONNECTION_RATE_EXCEEDED:
            return "The lobby at " + where + " is too busy; try again later";
        default:
            return "The lobby at " + where + " refused the connection (" +
                   mosquitto_reason_string(reason) + ")";
    }
}

struct Publication {
    std::string topic;
    std::string payload;
    bool retain = false;
    int expirySeconds = 0;
};

class MqttBroker : public Broker {
  public:
    MqttBroker(const std::string& host, int port, const BrokerWill& will)
        : where_(host.find(':') != std::string::npos ? "[" + host + "]:" + std::to_string(port)
                                                     : host + ":" + std::to_string(port)),
          host_(host),
          port_(port),
          identity_(randomIdentity()) {
        client_ = mosquitto_new(identity_.c_str(), true, this);
        if (client_ == nullptr) {
            fail("The game could not make a client for the lobby");
            return;
        }
        mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
        mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_connect_v5_callback_set(client_, onConnect);
        mosquitto_disconnect_v5_callback_set(client_, onDisconnect);
        mosquitto_message_v5_callback_set(client_, onMessage);
        if (!will.topic.empty()) {
            if (!exactTopic(will.topic) || will.payload.size() > kMaxPayload ||
                mosquitto_will_set_v5(client_, will.topic.c_str(),
                                      static_cast<int>(will.payload.size()), will.payload.data(),
                                      kQos, will.retain, nullptr) != MOSQ_ERR_SUCCESS) {
                fail("The game could not leave its last word with the lobby");
                return;
            }
        }
    }

    ~MqttBroker() override {
        if (client_ != nullptr) {
            if (state_ == BrokerState::Connected) {
                // A clean goodbye: the broker drops the will rather than speaking it.
                mosquitto_disconnect(client_);
                mosquitto_loop_write(client_, 1);
            }
            mosquitto_destroy(client_);
        }
        stopResolving();
    }

    BrokerState state() const override { return state_; }
    const std::string& error() const override { return error_; }
    std::string identity() const override { return identity_; }

    void subscribe(const std::string& topic) override {
        if (!exactTopic(topic) || state_ == BrokerState::Failed) return;
        if (subscribed_.size() >= kMaxQueued || !subscribed_.insert(topic).second) return;
        if (state_ == BrokerState::Connected) sendSubscription(topic);
    }

    void publish(const std::string& topic, const std::string& payload, bool retain,
                 int expirySeconds) override {
        if (!exactTopic(topic) || payload.size() > kMaxPayload || expirySeconds < 0) return;
        if (state_ == BrokerState::Connected) {
            sendPublication({topic, payload, retain, expirySeconds});
        } else if (state_ == BrokerState::Connecting && queued_.size() < kMaxQueued) {
            queued_.push_back({topic, payload, retain, expirySeconds});
        }
    }

    void poll(std::vector<BrokerMessage>& arrived) override {
        if (state_ == BrokerState::Failed) return;
        if (startedMillis_ < 0) {
            startedMillis_ = nowMillis();
            startResolving();
        } else if (!connectStarted_) {
            continueResolving();
        } else {
            driveSocket();
        }
        if (state_ == BrokerState::Connecting && nowMillis() - startedMillis_ > kAnswerMillis) {
            fail("The lobby at " + where_ + " does not answer");
        }
        if (!arrived_.empty()) {
            for (auto& message : arrived_)
                arrived.push_back(std::move(message));
            arrived_.clear();
        }
    }

  private:
    // A numeric address goes straight to the connect; a name is looked up
    // in the background (glibc's getaddrinfo_a), since a lookup can take seconds.
    void startResolving() {
        in6_addr scratch{};
        if (inet_pton(AF_INET, host_.c_str(), &scratch) == 1 ||
            inet_pton(AF_INET6, host_.c_str(), &scratch) == 1) {
            addresses_.push_back(host_);
            startConnecting();
            return;
        }
        lookup_ = new Lookup();
        lookup_->name = host_;
        lookup_->hints.ai_family = AF_UNSPEC;
        lookup_->hints.ai_socktype = SOCK_STREAM;
        lookup_->request.ar_name = lookup_->name.c_str();
        lookup_->request.ar_request = &lookup_->hints;
        gaicb* list[] = {&lookup_->request};
        if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
            stopResolving();
            fail("The game could not look up the lobby at " + where_);
        }
    }

    void continueResolving() {
        if (lookup_ == nullptr) return;
        const int status = gai_error(&lookup_->request);
        if (status == EAI_INPROGRESS) return;
        if (status == 0) {
            for (addrinfo* each = lookup_->request.ar_result;
                 each != nullptr && addresses_.size() < 8; each = each->ai_next) {
                char text[NI_MAXHOST];
                if (getnameinfo(each->ai_addr, each->ai_addrlen, text, sizeof text, nullptr, 0,
                                NI_NUMERICHOST) == 0) {
                    addresses_.push_back(text);
                }
            }
        }
        stopResolving();
        if (addresses_.empty()) {
            fail("There is no lobby called " + host_);
            return;
        }
        startConnecting();
    }

    void stopResolving() {
        if (lookup_ == nullptr) return;
        if (gai_error(&lookup_->request) == EAI_INPROGRESS &&
            gai_cancel(&lookup_->request) != EAI_CANCELED) {
            // Still in glibc's hands: its memory must outlive the lookup.
            lookup_ = nullptr;
            return;
        }
        if (lookup_->request.ar_result != nullptr) freeaddrinfo(lookup_->request.ar_result);
        delete lookup_;
        lookup_ = nullptr;
    }

    // Tries the name's addresses in turn (a name often has an IPv6 and an
    // IPv4 one) until a connect begins.
    void startConnecting() {
        connectStarted_ = true;
        while (!addresses_.empty()) {
            const std::string address = addresses_.front();
            addresses_.pop_front();
            // With a numeric address libmosquitto's own lookup returns at
            // once, and the socket is not blocking: connect only begins here.
            if (mosquitto_connect_async(client_, address.c_str(), port_, kKeepAliveSeconds) ==
                MOSQ_ERR_SUCCESS) {
                return;
            }
        }
        fail("The lobby at " + where_ + " does not answer");
    }

    void lost() {
        if (everConnected_) {
            fail("The lobby at " + where_ + " closed the connection");
        } else {
            startConnecting();
        }
    }

    void driveSocket() {
        const int socket = mosquitto_socket(client_);
        if (socket < 0) {
            lost();
            return;
        }
        pollfd ready{socket, POLLIN, 0};
        if (mosquitto_want_write(client_)) ready.events |= POLLOUT;
        if (::poll(&ready, 1, 0) < 0) return;
        if ((ready.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            mosquitto_loop_read(client_, 16);
        }
        if (state_ != BrokerState::Failed && mosquitto_socket(client_) >= 0 &&
            (ready.revents & POLLOUT) != 0) {
            mosquitto_loop_write(client_, 16);
        }
        if (state_ != BrokerState::Failed && mosquitto_socket(client_) >= 0) {
            mosquitto_loop_misc(client_);
        }
        if (state_ != BrokerState::Failed && mosquitto_socket(client_) < 0) lost();
    }

    void sendSubscription(const std::string& topic) {
        mosquitto_subscribe_v5(client_, nullptr, topic.c_str(), kQos, 0, nullptr);
    }

    void sendPublication(const Publication& message) {
        mosquitto_property* properties = nullptr;
        if (message.expirySeconds > 0) {
            mosquitto_property_add_int32(&properties, MQTT_PROP_MESSAGE_EXPIRY_INTERVAL,
                                         static_cast<std::uint32_t>(message.expirySeconds));
        }
        mosquitto_publish_v5(client_, nullptr, message.topic.c_str(),
                             static_cast<int>(message.payload.size()), message.payload.data(), kQos,
                             message.retain, properties);
        mosquitto_property_free_all(&properties);
    }

    void fail(const std::string& why) {
        if (state_ == BrokerState::Failed) return;
        state_ = BrokerState::Failed;
        error_ = why;
        queued_.clear();
    }

    static void onConnect(mosquitto*, void* self, int reason, int, const mosquitto_property*) {
        auto* broker = static_cast<MqttBroker*>(self);
        if (broker->state_ != BrokerState::Connecting) return;
        if (reason != 0) {
            broker->fail(refusal(broker->where_, reason));
            return;
        }
        broker->state_ = BrokerState::Connected;
        broker->everConnected_ = true;
        for (const auto& topic : broker->subscribed_)
            broker->sendSubscription(topic);
        for (const auto& message : broker->queued_)
            broker->sendPublication(message);
        broker->queued_.clear();
    }

    // Before an answer, the next address may still do: the socket's state,
    // checked after each read and write, decides.
    static void onDisconnect(mosquitto*, void* self, int, const mosquitto_property*) {
        auto* broker = static_cast<MqttBroker*>(self);
        if (broker->everConnected_) {
            broker->fail("The lobby at " + broker->where_ + " closed the connection");
        }
    }

    static void onMessage(mosquitto*, void* self, const mosquitto_message* message,
                          const mosquitto_property*) {
        auto* broker = static_cast<MqttBroker*>(self);
        if (message == nullptr || message->topic == nullptr || message->payloadlen < 0 ||
            message->payloadlen > kMaxPayload || broker->arrived_.size() >= kMaxQueued * 4) {
            return;
        }
        BrokerMessage copy{message->topic, {}};
        if (message->payload != nullptr) {
            copy.payload.assign(static_cast<const char*>(message->payload),
                                static_cast<std::size_t>(message->payloadlen));
        }
        broker->arrived_.push_back(std::move(copy));
    }

    struct Lookup {
        std::string name;
        addrinfo hints{};
        gaicb request{};
    };

    std::string where_;
    std::string host_;
    int port_;
    std::string identity_;
    std::int64_t startedMillis_ = -1;  // the first poll's, when connecting began
    mosquitto* client_ = nullptr;
    Lookup* lookup_ = nullptr;
    std::deque<std::string> addresses_;  // numeric, still to try
    bool connectStarted_ = false;
    bool everConnected_ = false;
    BrokerState state_ = BrokerState::Connecting;
    std::string error_;
    std::set<std::string> subscribed_;
    std::deque<Publication> queued_;
    std::vector<BrokerMessage> arrived_;
};

}  // namespace

std::unique_ptr<Broker> connectBroker(const std::string& host, int port, const BrokerWill& will,
                                      std::string& error) {
    if (host.empty() || host.size() > 253 || port < 1 || port > 65535) {
        error = "A lobby is named HOST or HOST:PORT, with a port from 1 to 65535";
        return nullptr;
    }
    std::call_once(libraryStarted, [] { mosquitto_lib_init(); });
    auto broker = std::make_unique<MqttBroker>(host, port, will);
    if (broker->state() == BrokerState::Failed) {
        error = broker->error();
        return nullptr;
    }
    return broker;
}
