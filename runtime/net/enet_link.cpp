// The link over ENet: channel 0 reliable and ordered, channel 1 unreliable
// and unsequenced, so a late key message is still taken.
#include <arpa/inet.h>
#include <enet/enet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <chrono>

#include "runtime/net/link.h"

namespace {

constexpr int kChannels = 2;
// ENet's own timeout is set past the game's "Connection lost", which the
// game decides from silentMillis.
constexpr enet_uint32 kPeerTimeoutMillis = 10000;

bool startEnet(std::string& error) {
    static const bool ready = enet_initialize() == 0;
    if (!ready) error = "the network cannot be started";
    return ready;
}

std::int64_t nowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class EnetLink : public NetLink {
  public:
    EnetLink(ENetHost* host, ENetPeer* peer) : host_(host), peer_(peer), heard_(nowMillis()) {
        enet_peer_timeout(peer_, 0, kPeerTimeoutMillis, kPeerTimeoutMillis);
    }
    ~EnetLink() override {
        if (peer_ != nullptr) {
            enet_peer_disconnect_now(peer_, 0);
            enet_host_flush(host_);
        }
        enet_host_destroy(host_);
    }

    void send(const std::string& bytes, bool reliable) override {
        if (peer_ == nullptr) return;
        ENetPacket* packet =
            enet_packet_create(bytes.data(), bytes.size(),
                               reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
        if (packet != nullptr && enet_peer_send(peer_, reliable ? 0 : 1, packet) != 0)
            enet_packet_destroy(packet);
    }

    bool receive(std::vector<std::string>& messages) override {
        ENetEvent event;
        while (peer_ != nullptr && enet_host_service(host_, &event, 0) > 0) {
            if (event.type == ENET_EVENT_TYPE_RECEIVE) {
                heard_ = nowMillis();
                messages.emplace_back(reinterpret_cast<const char*>(event.packet->data),
                                      event.packet->dataLength);
                enet_packet_destroy(event.packet);
            } else if (event.type == ENET_EVENT_TYPE_DISCONNECT && event.peer == peer_) {
                peer_ = nullptr;
            }
        }
        return peer_ != nullptr;
    }

    int silentMillis() const override { return static_cast<int>(nowMillis() - heard_); }

    void flush() override { enet_host_flush(host_); }

  private:
    ENetHost* host_;
    ENetPeer* peer_;
    std::int64_t heard_;
};

class EnetListener : public Listener {
  public:
    explicit EnetListener(ENetHost* host) : host_(host) {}
    ~EnetListener() override {
        if (host_ != nullptr) enet_host_destroy(host_);
    }

    std::unique_ptr<NetLink> poll(int waitMillis) override {
        ENetEvent event;
        if (host_ == nullptr ||
            enet_host_service(host_, &event, static_cast<enet_uint32>(waitMillis)) <= 0)
            return nullptr;
        if (event.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(event.packet);
        if (event.type != ENET_EVENT_TYPE_CONNECT) return nullptr;
        ENetHost* host = host_;
        host_ = nullptr;
        return std::make_unique<EnetLink>(host, event.peer);
    }

  private:
    ENetHost* host_;
};

}  // namespace

std::unique_ptr<Listener> listenForPlayer(int port, std::string& error) {
    if (!startEnet(error)) return nullptr;
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = static_cast<enet_uint16>(port);
    // One player only: a second one trying to join is turned away by ENet.
    ENetHost* host = enet_host_create(&address, 1, kChannels, 0, 0);
    if (host == nullptr) {
        error = "port " + std::to_string(port) + " cannot be had (is another game using it?)";
        return nullptr;
    }
    return std::make_unique<EnetListener>(host);
}

std::unique_ptr<NetLink> connectToPlayer(const std::string& hostName, int port, int waitMillis,
                                         std::string& error) {
    if (!startEnet(error)) return nullptr;
    ENetAddress address{};
    if (enet_address_set_host(&address, hostName.c_str()) != 0) {
        error = "there is no machine called " + hostName;
        return nullptr;
    }
    address.port = static_cast<enet_uint16>(port);
    ENetHost* host = enet_host_create(nullptr, 1, kChannels, 0, 0);
    if (host == nullptr) {
        error = "the network cannot be used";
        return nullptr;
    }
    ENetPeer* peer = enet_host_connect(host, &address, kChannels, 0);
    ENetEvent event;
    if (peer != nullptr &&
        enet_host_service(host, &event, static_cast<enet_uint32>(waitMillis)) > 0 &&
        event.type == ENET_EVENT_TYPE_CONNECT) {
        // The host counts us in only once our answer to its welcome arrives.
        enet_host_flush(host);
        return std::make_unique<EnetLink>(host, peer);
    }
    if (peer != nullptr) enet_peer_reset(peer);
    enet_host_destroy(host);
    error = "no game answered at " + hostName + ":" + std::to_string(port);
    return nullptr;
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
