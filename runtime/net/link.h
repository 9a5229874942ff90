// A connection to the other player's machine over UDP: messages that must
// arrive (the handshake, settings, pause, leaving) and messages that may be
// lost or come out of order (each frame's keys). Only
// runtime/net/enet_link.cpp sees the network library.
#pragma once

#include <memory>
#include <string>
#include <vector>

constexpr int kDefaultPort = 27960;

class NetLink {
  public:
    virtual ~NetLink() = default;
    virtual void send(const std::string& bytes, bool reliable) = 0;
    // Appends what has arrived, whole messages in order of arrival. False once
    // the other side has gone (it left, or the connection failed).
    virtual bool receive(std::vector<std::string>& messages) = 0;
    // Milliseconds since anything was last heard from the other side.
    virtual int silentMillis() const = 0;
    // Sends what is queued now; a side about to end the program calls it
    // so its last message leaves first.
    virtual void flush() = 0;
};

// Waits for one player to connect: poll until it hands over the link.
class Listener {
  public:
    virtual ~Listener() = default;
    // Waits up to waitMillis; the link once the other player is in, else null.
    virtual std::unique_ptr<NetLink> poll(int waitMillis) = 0;
};

// Null with the reason in `error` when the port cannot be had.
std::unique_ptr<Listener> listenForPlayer(int port, std::string& error);
// Waits up to waitMillis for the host to answer; null with the reason otherwise.
std::unique_ptr<NetLink> connectToPlayer(const std::string& host, int port, int waitMillis,
                                         std::string& error);
// This machine's addresses another machine could reach, for the host to show.
std::vector<std::string> localAddresses();
