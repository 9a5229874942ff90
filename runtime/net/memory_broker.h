// A broker in memory, for tests and measuring tools: exact topics, messages
// kept for later subscribers, expiry by a clock the caller gives, clients that
// vanish (their will spoken) and a lobby that goes down. What a client
// publishes reaches the others on their next poll.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "runtime/net/broker.h"

class MemoryBrokerHub {
  public:
    // millis: the time now, in milliseconds, for expiry.
    explicit MemoryBrokerHub(std::function<int()> millis);
    ~MemoryBrokerHub();
    MemoryBrokerHub(const MemoryBrokerHub&) = delete;
    MemoryBrokerHub& operator=(const MemoryBrokerHub&) = delete;

    // Connected on its first poll, unless the hub is down then. Dropping the
    // client is leaving politely: its will is not published.
    std::unique_ptr<Broker> connect(const BrokerWill& will);
    // The client's connection breaks: the hub publishes its will, and the
    // client fails.
    void drop(const Broker& client);
    // Every client fails with this text, and those connecting later too.
    void goDown(const std::string& error);

    // Whatever any client sees, a test can publish too (a forger on the lobby).
    void publish(const std::string& topic, const std::string& payload, bool retain,
                 int expirySeconds);
    // The payload kept on a topic, empty when none.
    std::string retained(const std::string& topic) const;
    // Every message published on a topic so far, for a test to replay.
    std::vector<std::string> history(const std::string& topic) const;

    struct Shared;

  private:
    std::shared_ptr<Shared> shared;
};
