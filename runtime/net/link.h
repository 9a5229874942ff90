// A link to the other player's machine that carries datagrams: each may be
// lost, come twice or come out of order, as over UDP. What must arrive is the
// online protocol's business, so a link can be plain UDP, a path found by
// ICE or a network made in memory for tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

constexpr int kDefaultPort = 27960;
// Larger datagrams are never sent, and dropped when they arrive.
constexpr std::size_t kMaxDatagram = 1200;

class NetLink {
  public:
    virtual ~NetLink() = default;
    virtual void send(const std::string& datagram) = 0;
    // Appends what has arrived, in order of arrival. False once the link
    // itself cannot carry anything more.
    virtual bool receive(std::vector<std::string>& datagrams) = 0;
};

// A host's end on a UDP port: it answers whoever first sends to it, and
// nobody else. Null with the reason in `error` when the port cannot be had.
std::unique_ptr<NetLink> hostOnPort(int port, std::string& error);
// A joiner's end, sending to the host's address; null with the reason when
// the name does not resolve or no socket can be had.
std::unique_ptr<NetLink> joinAt(const std::string& host, int port, std::string& error);
// This machine's addresses another machine could reach, for the host to show.
std::vector<std::string> localAddresses();
