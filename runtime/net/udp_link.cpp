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
#include <deque>

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

bool sameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

// Datagrams a link of the hub keeps until it is read: a few seconds' worth.
constexpr std::size_t kHubQueue = 512;

class HubLink;

// The hub's socket and its links, shared by the hub and every link it made,
// so either may go first.
struct HubCore {
    explicit HubCore(int s, int addresses)
        : socket(s), limit(static_cast<std::size_t>(addresses)) {}
    ~HubCore() { close(socket); }
    HubCore(const HubCore&) = delete;
    HubCore& operator=(const HubCore&) = delete;
    void pump();

    struct Arrival {
        sockaddr_in from{};
        std::deque<std::string> datagrams;
    };
    int socket;
    std::size_t limit;
    std::vector<HubLink*> links;
    std::deque<Arrival> arrivals;
    const NetLink* roaming = nullptr;
};

class HubLink : public NetLink {
  public:
    HubLink(std::shared_ptr<HubCore> core, HubCore::Arrival arrival)
        : core_(std::move(core)), peer_(arrival.from), queue_(std::move(arrival.datagrams)) {
        heard_ = nowMillis();
        core_->links.push_back(this);
    }
    ~HubLink() override {
        std::erase(core_->links, this);
        if (core_->roaming == this) core_->roaming = nullptr;
    }
    HubLink(const HubLink&) = delete;
    HubLink& operator=(const HubLink&) = delete;

    void send(const std::string& datagram) override {
        if (datagram.size() > kMaxDatagram) return;
        sendto(core_->socket, datagram.data(), datagram.size(), MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&peer_), sizeof peer_);
    }
    bool receive(std::vector<std::string>& datagrams) override {
        core_->pump();
        for (std::string& d : queue_)
            datagrams.push_back(std::move(d));
        queue_.clear();
        return true;
    }

    bool from(const sockaddr_in& a) const { return sameAddress(a, peer_); }
    void take(const char* data, std::size_t n, std::int64_t now) {
        heard_ = now;
        if (queue_.size() < kHubQueue) queue_.emplace_back(data, n);
    }
    bool longSilent(std::int64_t now) const { return now - heard_ >= kPeerHeldMillis; }
    void follow(const sockaddr_in& a) { peer_ = a; }

  private:
    std::shared_ptr<HubCore> core_;
    sockaddr_in peer_;
    std::deque<std::string> queue_;
    std::int64_t heard_ = 0;
};

void HubCore::pump() {
    std::array<char, kMaxDatagram + 1> buffer;
    for (int i = 0; i < 256; ++i) {
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const ssize_t n = recvfrom(socket, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &size);
        if (n < 0) break;
        if (static_cast<std::size_t>(n) > kMaxDatagram || size != sizeof from) continue;
        const auto length = static_cast<std::size_t>(n);
        const std::int64_t now = nowMillis();
        HubLink* owner = nullptr;
        for (HubLink* link : links)
            if (link->from(from)) owner = link;
        if (owner == nullptr) {
            for (HubLink* link : links)
                if (link == roaming && link->longSilent(now)) owner = link;
            if (owner != nullptr) owner->follow(from);
        }
        if (owner != nullptr) {
            owner->take(buffer.data(), length, now);
            continue;
        }
        Arrival* waiting = nullptr;
        for (Arrival& a : arrivals)
            if (sameAddress(a.from, from)) waiting = &a;
        if (waiting == nullptr) {
            if (links.size() + arrivals.size() >= limit) continue;
            waiting = &arrivals.emplace_back();
            waiting->from = from;
        }
        if (waiting->datagrams.size() < kHubQueue)
            waiting->datagrams.emplace_back(buffer.data(), length);
    }
}

class UdpHubOnPort : public UdpHub {
  public:
    explicit UdpHubOnPort(std::shared_ptr<HubCore> core) : core_(std::move(core)) {}
    std::unique_ptr<NetLink> arrival() override {
        core_->pump();
        if (core_->arrivals.empty()) return nullptr;
        HubCore::Arrival a = std::move(core_->arrivals.front());
        core_->arrivals.pop_front();
        return std::make_unique<HubLink>(core_, std::move(a));
    }
    void roam(const NetLink& link) override { core_->roaming = &link; }

  private:
    std::shared_ptr<HubCore> core_;
};

// The host's port, bound on every interface; -1 with the reason when it cannot be had.
int boundSocket(int port, std::string& error) {
    const int s = openSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (s < 0 || bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (s >= 0) close(s);
        error = "port " + std::to_string(port) + " cannot be had (is another game using it?)";
        return -1;
    }
    return s;
}

}  // namespace

std::unique_ptr<NetLink> hostOnPort(int port, std::string& error) {
    const int s = boundSocket(port, error);
    if (s < 0) return nullptr;
    return std::make_unique<UdpLink>(s, nullptr);
}

std::unique_ptr<UdpHub> hubOnPort(int port, int addresses, std::string& error) {
    const int s = boundSocket(port, error);
    if (s < 0) return nullptr;
    return std::make_unique<UdpHubOnPort>(std::make_shared<HubCore>(s, addresses));
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
