// The direct link: one UDP socket, not blocking. The host takes its peer's
// address from the first datagram that reaches it, and another's only once
// that one has been silent for as long as a game waits before it gives up.
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>

#include "runtime/net/link.h"

namespace {

// A stray datagram that reached the host first holds it no longer than this.
constexpr std::int64_t kPeerHeldMillis = 3000;

std::int64_t nowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class UdpLink : public NetLink {
  public:
    UdpLink(int socket, const sockaddr_in* peer) : socket_(socket), fixed_(peer != nullptr) {
        if (peer != nullptr) {
            peer_ = *peer;
            known_ = true;
        }
    }
    ~UdpLink() override { close(socket_); }
    UdpLink(const UdpLink&) = delete;
    UdpLink& operator=(const UdpLink&) = delete;

    void send(const std::string& datagram) override {
        if (!known_ || datagram.size() > kMaxDatagram) return;
        // A full send buffer loses the datagram, as the network might.
        sendto(socket_, datagram.data(), datagram.size(), MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&peer_), sizeof peer_);
    }

    bool receive(std::vector<std::string>& datagrams) override {
        std::array<char, kMaxDatagram + 1> buffer;
        for (int i = 0; i < 256; ++i) {
            sockaddr_in from{};
            socklen_t size = sizeof from;
            const ssize_t n = recvfrom(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr*>(&from), &size);
            if (n < 0) break;
            if (static_cast<std::size_t>(n) > kMaxDatagram || size != sizeof from) continue;
            const bool fromPeer = known_ && from.sin_addr.s_addr == peer_.sin_addr.s_addr &&
                                  from.sin_port == peer_.sin_port;
            const std::int64_t now = nowMillis();
            if (!fromPeer) {
                // Not the player this game plays with, unless that one is long gone.
                if (fixed_ || (known_ && now - heard_ < kPeerHeldMillis)) continue;
                peer_ = from;
                known_ = true;
            }
            heard_ = now;
            datagrams.emplace_back(buffer.data(), static_cast<std::size_t>(n));
        }
        return true;
    }

  private:
    int socket_;
    sockaddr_in peer_{};
    bool known_ = false;
    bool fixed_;              // a joiner speaks with the host it named, and no other
    std::int64_t heard_ = 0;  // when the peer was last heard, in milliseconds
};

int openSocket() { return socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

}  // namespace

std::unique_ptr<NetLink> hostOnPort(int port, std::string& error) {
    const int s = openSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (s < 0 || bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (s >= 0) close(s);
        error = "port " + std::to_string(port) + " cannot be had (is another game using it?)";
        return nullptr;
    }
    return std::make_unique<UdpLink>(s, nullptr);
}

std::unique_ptr<NetLink> joinAt(const std::string& host, int port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        error = "there is no machine called " + host;
        return nullptr;
    }
    sockaddr_in peer{};
    std::memcpy(&peer, found->ai_addr, sizeof peer);
    freeaddrinfo(found);
    peer.sin_port = htons(static_cast<std::uint16_t>(port));
    const int s = openSocket();
    if (s < 0) {
        error = "the network cannot be used";
        return nullptr;
    }
    return std::make_unique<UdpLink>(s, &peer);
}

std::vector<std::string> localAddresses() {
    std::vector<std::string> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN];
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) out.emplace_back(text);
    }
    freeifaddrs(list);
    return out;
}
