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
// A host's port that many can reach: each address that sends to it has a
// link of its own, the way hostOnPort's link answers one.
class UdpHub {
  public:
    virtual ~UdpHub() = default;
    // The link of an address heard for the first time, null when there is
    // none; its first datagrams wait in it. The socket is read here and by
    // every link's receive.
    virtual std::unique_ptr<NetLink> arrival() = 0;
    // The player's link follows its peer as hostOnPort's does: once that
    // address has been silent for 3 s, the next new address takes the link
    // over instead of getting its own.
    virtual void roam(const NetLink& link) = 0;
};
// At most `addresses` links, handed out or waiting, live at once: further
// addresses go unheard until one is dropped. Null with the reason in `error`
// when the port cannot be had.
std::unique_ptr<UdpHub> hubOnPort(int port, int addresses, std::string& error);

// A joiner's end, sending to the host's address; null with the reason when
// the name does not resolve or no socket can be had.
std::unique_ptr<NetLink> joinAt(const std::string& host, int port, std::string& error);
// This machine's addresses another machine could reach, for the host to show.
std::vector<std::string> localAddresses();
