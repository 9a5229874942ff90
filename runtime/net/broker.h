// A message broker the lobby runs (MQTT): topics, messages kept for whoever
// subscribes later, and a last word the broker speaks for a client that
// vanishes. Rooms find each other through it; a broker in memory stands in
// for tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct BrokerMessage {
    std::string topic;
    std::string payload;
};

// Published by the broker when the client goes without saying goodbye.
struct BrokerWill {
    std::string topic;  // empty: none
    std::string payload;
    bool retain = true;
};

enum class BrokerState { Connecting, Connected, Failed };

// The lobby's default port, MQTT's own.
constexpr int kDefaultLobbyPort = 1883;

class Broker {
  public:
    virtual ~Broker() = default;
    virtual BrokerState state() const = 0;
    // Why it failed, in words for the player.
    virtual const std::string& error() const = 0;
    // Exact topics only; asked before connecting, they are made on connecting.
    virtual void subscribe(const std::string& topic) = 0;
    // retain: kept for later subscribers, an empty payload clearing it;
    // expirySeconds 0 never expires.
    virtual void publish(const std::string& topic, const std::string& payload, bool retain,
                         int expirySeconds) = 0;
    // This frame's network work, never blocking; appends what arrived.
    virtual void poll(std::vector<BrokerMessage>& arrived) = 0;
    // The name the broker knows this client by, where it has one: the lobby
    // lets a client read replies meant for it alone under this name.
    virtual std::string identity() const { return {}; }
};

// A client of the broker at host:port, connecting from the first poll on.
// Null with the reason in `error` when no client can be made.
std::unique_ptr<Broker> connectBroker(const std::string& host, int port, const BrokerWill& will,
                                      std::string& error);
