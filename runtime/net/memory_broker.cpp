// The broker in memory: a hub of shared state each client holds a share of,
// so either may go first.
#include "runtime/net/memory_broker.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

class MemoryClient;

namespace {

struct Stored {
    std::string payload;
    int expiresAt = 0;  // milliseconds; never when `expires` is false
    bool expires = false;
};

bool expired(const Stored& s, int now) { return s.expires && now >= s.expiresAt; }

}  // namespace

struct MemoryBrokerHub::Shared {
    std::function<int()> millis;
    bool down = false;
    std::string downError;
    std::map<std::string, Stored> retained;
    std::map<std::string, std::vector<std::string>> history;
    std::vector<MemoryClient*> clients;

    void publish(const std::string& topic, const std::string& payload, bool retain,
                 int expirySeconds);
};

class MemoryClient : public Broker {
  public:
    MemoryClient(std::shared_ptr<MemoryBrokerHub::Shared> of, BrokerWill lastWords)
        : hub(std::move(of)), will(std::move(lastWords)) {
        hub->clients.push_back(this);
    }
    ~MemoryClient() override { leave(); }

    BrokerState state() const override { return current; }
    const std::string& error() const override { return failure; }

    void subscribe(const std::string& topic) override {
        if (current == BrokerState::Failed || !topics.insert(topic).second) return;
        if (current == BrokerState::Connected) deliverRetained(topic);
    }

    void publish(const std::string& topic, const std::string& payload, bool retain,
                 int expirySeconds) override {
        // As a real client refuses to publish before it is connected.
        if (current != BrokerState::Connected) return;
        hub->publish(topic, payload, retain, expirySeconds);
    }

    void poll(std::vector<BrokerMessage>& arrived) override {
        if (current == BrokerState::Connecting) {
            if (hub->down) {
                fail(hub->downError);
            } else {
                current = BrokerState::Connected;
                for (const std::string& topic : topics)
                    deliverRetained(topic);
            }
        }
        const int now = hub->millis();
        for (auto& [topic, message] : queue) {
            if (!expired(message, now)) arrived.push_back({topic, message.payload});
        }
        queue.clear();
    }

    void offer(const std::string& topic, const Stored& message) {
        if (current == BrokerState::Connected && topics.count(topic) > 0) {
            queue.emplace_back(topic, message);
        }
    }

    void fail(const std::string& why) {
        current = BrokerState::Failed;
        failure = why;
        queue.clear();
    }

    // Out of the hub's list; the will is the caller's business.
    void leave() {
        auto& clients = hub->clients;
        clients.erase(std::remove(clients.begin(), clients.end(), this), clients.end());
    }

    const BrokerWill& lastWord() const { return will; }

  private:
    void deliverRetained(const std::string& topic) {
        auto found = hub->retained.find(topic);
        if (found != hub->retained.end() && !expired(found->second, hub->millis())) {
            queue.emplace_back(topic, found->second);
        }
    }

    std::shared_ptr<MemoryBrokerHub::Shared> hub;
    BrokerWill will;
    BrokerState current = BrokerState::Connecting;
    std::string failure;
    std::set<std::string> topics;
    std::vector<std::pair<std::string, Stored>> queue;
};

void MemoryBrokerHub::Shared::publish(const std::string& topic, const std::string& payload,
                                      bool retain, int expirySeconds) {
    if (down) return;
    Stored message{payload, 0, expirySeconds > 0};
    if (message.expires) message.expiresAt = millis() + expirySeconds * 1000;
    history[topic].push_back(payload);
    if (retain) {
        if (payload.empty()) {
            retained.erase(topic);
        } else {
            retained[topic] = message;
        }
    }
    // As MQTT does, an empty retained payload still reaches those subscribed.
    for (MemoryClient* client : clients)
        client->offer(topic, message);
}

MemoryBrokerHub::MemoryBrokerHub(std::function<int()> millis) : shared(std::make_shared<Shared>()) {
    shared->millis = std::move(millis);
}

MemoryBrokerHub::~MemoryBrokerHub() {
    // Clients outliving the hub hear nothing more, as if it had gone down.
    for (MemoryClient* client : shared->clients)
        client->fail("The lobby has gone");
}

std::unique_ptr<Broker> MemoryBrokerHub::connect(const BrokerWill& will) {
    return std::make_unique<MemoryClient>(shared, will);
}

void MemoryBrokerHub::drop(const Broker& client) {
    for (MemoryClient* c : shared->clients) {
        if (c != &client) continue;
        c->fail("The connection to the lobby broke");
        c->leave();
        const BrokerWill& will = c->lastWord();
        if (!will.topic.empty()) shared->publish(will.topic, will.payload, will.retain, 0);
        return;
    }
}

void MemoryBrokerHub::goDown(const std::string& error) {
    shared->down = true;
    shared->downError = error;
    for (MemoryClient* client : shared->clients)
        client->fail(error);
}

void MemoryBrokerHub::publish(const std::string& topic, const std::string& payload, bool retain,
                              int expirySeconds) {
    shared->publish(topic, payload, retain, expirySeconds);
}

std::string MemoryBrokerHub::retained(const std::string& topic) const {
    auto found = shared->retained.find(topic);
    if (found == shared->retained.end() || expired(found->second, shared->millis())) return {};
    return found->second.payload;
}

std::vector<std::string> MemoryBrokerHub::history(const std::string& topic) const {
    auto found = shared->history.find(topic);
    return found == shared->history.end() ? std::vector<std::string>{} : found->second;
}
